// The downloads window on the toolkit, for its own files and tests (the program sees
// download/downloads_window.h): a model over the lines and a delegate that paints the bars
// and the buttons, no widget per line, so adding hundreds of lines costs little.
//
// Ownership: a top-level window; its owner deletes it. REQUIRES: the manager outlives it.
// Thread contract: GUI thread only.
#ifndef DOWNLOAD_QT_DOWNLOADS_WINDOW_H_
#define DOWNLOAD_QT_DOWNLOADS_WINDOW_H_

#include <QBasicTimer>
#include <QRect>
#include <QWidget>
#include <memory>

#include "download/download_lines.h"
#include "download/downloads_window.h"

class QTreeView;

namespace download {

class DownloadListModel;

class QtDownloadsWindow : public QWidget, public DownloadsWindow {
 public:
  QtDownloadsWindow(DownloadManager* manager, OpenPath open, Confirm confirm = {}, QWidget* parent = nullptr);
  ~QtDownloadsWindow() override;

  void Show() override;
  bool isVisible() const override { return QWidget::isVisible(); }
  int lineCount() const override;
  std::string cellText(int line, Column column) const override;
  int progress(int line) const override;
  std::vector<Action> actions(int line) const override;
  std::string actionCaption(int line, Action action) const override;
  bool actionEnabled(int line, Action action) const override;
  void Refresh() override;
  void Tick() override;

  // The list, and where a button is drawn in its viewport (empty when the line does not show it).
  QTreeView* list() const { return list_; }
  QRect actionRect(int line, Action action) const;

 protected:
  void timerEvent(QTimerEvent* event) override;

 private:
  friend class ActionDelegate;
  void RunAction(int line, Action action);
  void UpdateTimer();

  DownloadManager* manager_;
  OpenPath open_;
  Confirm confirm_;
  DownloadLines lines_;
  std::unique_ptr<DownloadListModel> model_;
  QTreeView* list_ = nullptr;
  int listener_ = -1;
  QBasicTimer timer_;
};

}  // namespace download

#endif  // DOWNLOAD_QT_DOWNLOADS_WINDOW_H_
