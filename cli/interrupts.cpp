#include "cli/interrupts.h"

#include <signal.h>

namespace ztlive::cli {

namespace {

volatile sig_atomic_t g_interrupted = 0;
struct sigaction g_previousInt {};
struct sigaction g_previousTerm {};

void OnInterrupt(int) { g_interrupted = 1; }

}  // namespace

InterruptGuard::InterruptGuard() {
  g_interrupted = 0;
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no restart: a wait in the message queue returns at once
  sigaction(SIGINT, &action, &g_previousInt);
  sigaction(SIGTERM, &action, &g_previousTerm);
}

InterruptGuard::~InterruptGuard() {
  sigaction(SIGINT, &g_previousInt, nullptr);
  sigaction(SIGTERM, &g_previousTerm, nullptr);
}

bool InterruptGuard::Interrupted() { return g_interrupted != 0; }

}  // namespace ztlive::cli
