// 类_JSON's parse (解析文本, lenient, the mode the video lookup uses) against nlohmann::json
// and RapidJSON's DOM parse on the same bytes, in one binary. The documents are canada,
// citm_catalog and twitter from the shared benchmark data beside the project.
//
// Data folder: --data=DIR, else the environment variable WL_JSON_BENCH_DATA, else
// ../shared/data/json-bench beside the project's source tree.
#include <benchmark/benchmark.h>
#include <rapidjson/document.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "json/json_document.h"

namespace {

std::string g_dataDir;

std::string DefaultDataDir() {
  std::string source = __FILE__;  // <project>/bench/json_bench.cc
  size_t slash = source.rfind('/');
  source = slash == std::string::npos ? "." : source.substr(0, slash);
  return source + "/../../shared/data/json-bench";
}

std::string ReadFile(const std::string& name) {
  std::ifstream in(g_dataDir + "/" + name, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "cannot read %s/%s (give the folder with --data=DIR)\n", g_dataDir.c_str(),
                 name.c_str());
    std::exit(2);
  }
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

const std::string& Document(const std::string& name) {
  static std::vector<std::pair<std::string, std::string>> cache;
  for (auto& [n, text] : cache) {
    if (n == name) return text;
  }
  cache.emplace_back(name, ReadFile(name));
  return cache.back().second;
}

// The document repeated `times` times inside one array: for the linearity runs.
std::string Repeated(const std::string& name, int times) {
  std::string out = "[";
  for (int i = 0; i < times; ++i) {
    if (i) out += ',';
    out += Document(name);
  }
  return out + "]";
}

void Ours(benchmark::State& state, const std::string& text) {
  json::类_JSON doc;
  for (auto _ : state) {
    int32_t code = doc.解析文本(text.c_str());
    benchmark::DoNotOptimize(code);
    if (code != 0) state.SkipWithError("parse error");
  }
  state.counters["nodes"] = doc.取节点数量();
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}

void Nlohmann(benchmark::State& state, const std::string& text) {
  for (auto _ : state) {
    nlohmann::json j = nlohmann::json::parse(text);
    benchmark::DoNotOptimize(j);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}

void RapidJson(benchmark::State& state, const std::string& text) {
  for (auto _ : state) {
    rapidjson::Document d;
    d.Parse(text.c_str(), text.size());
    benchmark::DoNotOptimize(d.HasParseError());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}

void Register() {
  for (const char* file : {"canada.json", "citm_catalog.json", "twitter.json"}) {
    std::string name = file;
    name = name.substr(0, name.size() - 5);
    benchmark::RegisterBenchmark(("ours/" + name).c_str(), [file](benchmark::State& s) {
      Ours(s, Document(file));
    })->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("nlohmann/" + name).c_str(), [file](benchmark::State& s) {
      Nlohmann(s, Document(file));
    })->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("rapidjson/" + name).c_str(), [file](benchmark::State& s) {
      RapidJson(s, Document(file));
    })->Unit(benchmark::kMillisecond);
  }
  for (int times : {1, 4, 16}) {
    benchmark::RegisterBenchmark(("ours_linear/twitter_x" + std::to_string(times)).c_str(),
                                 [times](benchmark::State& s) {
                                   static std::string text;
                                   text = Repeated("twitter.json", times);
                                   Ours(s, text);
                                 })
        ->Unit(benchmark::kMillisecond);
  }
}

}  // namespace

int main(int argc, char** argv) {
  g_dataDir = DefaultDataDir();
  if (const char* env = std::getenv("WL_JSON_BENCH_DATA")) g_dataDir = env;
  std::vector<char*> rest;
  for (int i = 0; i < argc; ++i) {
    if (std::strncmp(argv[i], "--data=", 7) == 0) {
      g_dataDir = argv[i] + 7;
    } else {
      rest.push_back(argv[i]);
    }
  }
  int n = static_cast<int>(rest.size());
  benchmark::Initialize(&n, rest.data());
  Register();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
