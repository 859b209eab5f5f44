// The address given on the command line (`videolens ADDRESS`): it goes into the address field
// and is looked up as soon as the main window is up, as if the user had pasted it and pressed
// "解析", so that a browser or a script can hand a page to the program.
//
// Thread contract: GUI thread.
#ifndef APP_COMMAND_LINE_H_
#define APP_COMMAND_LINE_H_

#include <string>

namespace app {

// The address among the program's arguments (what is left after the toolkit took its own): the
// first argument that does not begin with "-"; empty when there is none. In the locale's
// encoding (UTF-8).
std::string AddressArgument(int argc, char** argv);

// Queues the lookup of `address` (UTF-8) for when the program handles its first events: the main
// window is loaded by then. False, and nothing queued, for an empty address or without the
// toolkit.
bool LookUpAtStart(const std::string& address);

}  // namespace app

#endif  // APP_COMMAND_LINE_H_
