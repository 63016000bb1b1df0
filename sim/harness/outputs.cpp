#include "harness/outputs.h"

#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "harness/host.h"
#include "harness/scheduler.h"
#include "harness/text.h"

namespace fs = std::filesystem;

namespace sim {
namespace {

std::string reason(const std::error_code& ec) { return ec.message(); }

void* signalWatch(void* arg) {
  sigset_t* set = static_cast<sigset_t*>(arg);
  int sig = 0;
  bool asked = false;
  for (;;) {
    if (sigwait(set, &sig) != 0) continue;
    if (asked) _exit(128 + sig);  // asked twice: no waiting for the run
    asked = true;
    requestInterrupt(sig);
  }
  return nullptr;
}

}  // namespace

int prepareRoot(const std::string& root, bool reuse, std::string& error) {
  std::error_code ec;
  const fs::path p(root);
  fs::file_status st = fs::status(p, ec);
  if (ec && ec != std::errc::no_such_file_or_directory) {
    error = "cannot use " + root + " as the device's folder: " + reason(ec);
    return EXIT_OUTPUT_FAILED;
  }
  if (!fs::exists(st)) {
    if (!fs::create_directories(p, ec) && ec) {
      error = "cannot make the device's folder " + root + ": " + reason(ec);
      return EXIT_OUTPUT_FAILED;
    }
  } else if (!fs::is_directory(st)) {
    error = "cannot use " + root + " as the device's folder: " +
            std::make_error_code(std::errc::not_a_directory).message();
    return EXIT_OUTPUT_FAILED;
  } else {
    const bool ours = fs::exists(p / ROOT_MARKER, ec);
    bool empty = fs::is_empty(p, ec);
    if (ec) {
      error = "cannot read the device's folder " + root + ": " + reason(ec);
      return EXIT_OUTPUT_FAILED;
    }
    if (!empty && !ours && !reuse) {
      error = root +
              " holds files of its own, not a simulated device's: give an empty or new folder, "
              "or --reuse-root to run in it anyway";
      return 2;
    }
    if (ours && !reuse) {
      // An earlier run's device: each run starts from an empty store.
      for (const fs::directory_entry& e : fs::directory_iterator(p, ec)) {
        fs::remove_all(e.path(), ec);
        if (ec) {
          error = "cannot empty the device's folder " + root + " (" + e.path().string() +
                  "): " + reason(ec);
          return EXIT_OUTPUT_FAILED;
        }
      }
    }
  }
  // The marker also proves the folder takes files.
  std::string marker = (p / ROOT_MARKER).string();
  FILE* f = std::fopen(marker.c_str(), "w");
  bool ok = f && std::fputs("made by quorvelta-sim: emptied before each run in it\n", f) >= 0;
  if (f && std::fclose(f) != 0) ok = false;
  if (!ok) {
    error = "cannot write in the device's folder " + root + ": " + std::strerror(errno);
    return EXIT_OUTPUT_FAILED;
  }
  return 0;
}

void removePartial(const std::string& path) {
  struct stat st;
  if (lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) unlink(path.c_str());
}

bool sameFile(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  if (stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0)
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
  std::error_code ea, eb;
  fs::path ca = fs::weakly_canonical(fs::absolute(a, ea), ea);
  fs::path cb = fs::weakly_canonical(fs::absolute(b, eb), eb);
  return !ea && !eb && ca == cb;
}

void watchSignals() {
  static sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  signal(SIGPIPE, SIG_IGN);
  signal(SIGXFSZ, SIG_IGN);
  pthread_t t;
  if (pthread_create(&t, nullptr, signalWatch, &set) == 0) pthread_detach(t);
}

namespace {

// Each "Node: " line of the console and the verdict of its pass.
std::string nodeVerdicts(const std::u16string& console) {
  std::string out;
  int shown = 0, more = 0;
  size_t at = 0;
  std::string name, verdict;
  auto flush = [&] {
    if (name.empty()) return;
    if (shown == 20) {
      more++;
    } else {
      out += (shown ? ", " : "") + name + " " + (verdict.empty() ? "unfinished" : verdict);
      shown++;
    }
    name.clear();
    verdict.clear();
  };
  while (at < console.size()) {
    size_t end = console.find(u'\n', at);
    if (end == std::u16string::npos) end = console.size();
    std::string line = utf8(console.substr(at, end - at));
    at = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("Node: ", 0) == 0) {
      flush();
      // "Node: " SSID (padded to 18) " " BSSID (17)
      std::string rest = line.substr(6);
      name = rest.size() > 18 ? rest.substr(0, rest.size() - 18) : "";
      while (!name.empty() && name.back() == ' ') name.pop_back();
      if (name.empty()) name = "(no SSID)";
    } else if (!name.empty() && line.find("Available nodes more...") != std::string::npos) {
      verdict = "failed";
    } else if (!name.empty() && line == "Already connected to Internet. Exiting OK") {
      verdict = "success";
    }
  }
  flush();
  if (more) out += ", and " + std::to_string(more) + " more";
  return out.empty() ? "none" : out;
}

}  // namespace

std::string summary(const RunReport& r) {
  const RunOutcome& o = *r.outcome;
  const std::u16string& c = host.debugText;
  std::string how;
  if (o.interrupted) {
    how = std::string("interrupted by ") + (o.exitCode == 128 + SIGINT ? "SIGINT" : "SIGTERM");
  } else if (o.hostFailure) {
    how = "stopped by the host: " + o.hostReason;
  } else if (o.deadlock) {
    how = "deadlock";
  } else {
    bool closing =
        c.size() >= 24 && c.find(u"Tap screen to exit. ", c.size() - 24) != std::u16string::npos;
    how = closing ? "closing lines shown" : "no closing lines";
    if (!host.userEnding.empty()) how += ", then " + host.userEnding;
  }
  how += ", exit code " + std::to_string(o.exitCode);
  std::string s = "quorvelta-sim: run ended at " + std::to_string(o.endedAt) +
                  " ms virtual: " + how + "\nquorvelta-sim: nodes: " + nodeVerdicts(c) +
                  "\nquorvelta-sim: wrote ";
  if (r.written.empty()) s += "nothing";
  for (size_t i = 0; i < r.written.size(); i++) s += (i ? ", " : "") + r.written[i];
  s += "\n";
  if (!r.echoNote.empty()) s += "quorvelta-sim: note: " + r.echoNote + "\n";
  return s;
}

}  // namespace sim
