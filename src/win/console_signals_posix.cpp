// Console control events from POSIX signals.
//
// The signals are blocked in every thread and taken by one thread with
// sigwait, which starts a new thread for each event, as Windows does; the
// handlers may then halt the program from there. Fatal signals first put
// the terminal back.
#include <algorithm>
#include <csignal>
#include <mutex>
#include <pthread.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "win/terminal_posix.h"

namespace win::posix::signals {
namespace {

std::mutex handlersLock;
std::vector<PHANDLER_ROUTINE> handlers;

constexpr int FatalSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
struct sigaction previous[sizeof FatalSignals / sizeof FatalSignals[0]];

DWORD EventFor(int signal) {
  switch (signal) {
    case SIGINT:
      return CTRL_C_EVENT;
    case SIGQUIT:
      return CTRL_BREAK_EVENT;
    default:
      return CTRL_CLOSE_EVENT;  // SIGHUP, SIGTERM
  }
}

// Dies of `signal` as if nothing had caught it.
[[noreturn]] void DieOf(int signal) {
  std::signal(signal, SIG_DFL);
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, signal);
  pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
  ::raise(signal);
  ::_exit(128 + signal);
}

void Deliver(int signal) {
  std::vector<PHANDLER_ROUTINE> current;
  {
    std::lock_guard guard(handlersLock);
    current = handlers;
  }
  const DWORD event = EventFor(signal);
  // The last registered handler is asked first.
  for (auto handler = current.rbegin(); handler != current.rend(); ++handler) {
    if ((*handler)(event)) return;
  }
  terminal::RestoreForExit();
  DieOf(signal);
}

void WaitForSignals(sigset_t wanted) {
  for (;;) {
    int signal = 0;
    if (sigwait(&wanted, &signal) != 0) continue;
    if (signal == SIGWINCH) {
      terminal::Resized();
    } else {
      std::thread(Deliver, signal).detach();
    }
  }
}

void OnFatalSignal(int signal, siginfo_t* info, void* context) {
  terminal::RestoreFromSignal();
  for (std::size_t i = 0; i < std::size(FatalSignals); ++i) {
    if (FatalSignals[i] != signal) continue;
    const struct sigaction& before = previous[i];
    if ((before.sa_flags & SA_SIGINFO) != 0 && before.sa_sigaction != nullptr) {
      before.sa_sigaction(signal, info, context);
      return;
    }
    if (before.sa_handler != SIG_DFL && before.sa_handler != SIG_IGN) {
      before.sa_handler(signal);
      return;
    }
  }
  DieOf(signal);
}

}  // namespace

void Start() {
  static std::once_flag started;
  std::call_once(started, [] {
    sigset_t wanted;
    sigemptyset(&wanted);
    for (const int signal : {SIGINT, SIGQUIT, SIGHUP, SIGTERM, SIGWINCH}) {
      sigaddset(&wanted, signal);
    }
    pthread_sigmask(SIG_BLOCK, &wanted, nullptr);
    std::thread(WaitForSignals, wanted).detach();

    for (std::size_t i = 0; i < std::size(FatalSignals); ++i) {
      struct sigaction action {};
      action.sa_sigaction = OnFatalSignal;
      action.sa_flags = SA_SIGINFO | SA_NODEFER;
      sigemptyset(&action.sa_mask);
      sigaction(FatalSignals[i], &action, &previous[i]);
    }
  });
}

BOOL SetCtrlHandler(PHANDLER_ROUTINE handler, BOOL add) {
  Start();
  if (handler == nullptr) return TRUE;
  std::lock_guard guard(handlersLock);
  if (add) {
    handlers.push_back(handler);
  } else {
    handlers.erase(std::remove(handlers.begin(), handlers.end(), handler), handlers.end());
  }
  return TRUE;
}

}  // namespace win::posix::signals
