#include "cli/input_session.h"

#include <unistd.h>

#include <algorithm>

#include "cli/interrupts.h"
#include "platform/string_table.h"

namespace ztlive::cli {

namespace {

constexpr int kInterruptCheckMs = 100;
constexpr auto kStatusInterval = std::chrono::milliseconds(100);
constexpr int kEngineRecording = 183;
constexpr int kEngineLive = 237;

}  // namespace

InputSession::InputSession(CommandContext& context) : m_context(context) {
  m_terminal = isatty(fileno(context.err)) != 0;
}

InputSession::~InputSession() { EndStatus(); }

bool InputSession::StartDevices() {
  auto cards = std::make_unique<PortAudioWaveSystem>();
  m_cards = cards.get();
  m_environment = std::make_unique<RunEnvironment>(std::move(cards), m_run, m_settings, m_context.prompts);
  // Waits are cut into short ones so that Ctrl+C and the time limit are seen soon.
  m_environment->Queue().SetPumpHook([this](int maxWaitMs) { OnPump(maxWaitMs); });
  if (!m_cards->InitError().empty()) {
    PrintError(m_context, FormatText(StringId::kCliSoundSystemFailed, {m_cards->InitError()}));
    return false;
  }
  const int device = m_settings.Read(setting::kDevIn);
  if (device < 0 || static_cast<size_t>(device) >= m_cards->InputDeviceNames().size()) {
    m_context.prompts.Show(StringText(StringId::kNoRecordingDevices), "", PromptIcon::Error);
    return false;
  }
  return true;
}

bool InputSession::OpenInput(const std::string& path, const WaveFormat& format) {
  m_format = format;
  if (m_environment->Devices().OpenInput(path, format, kCreateOverwrite) != 0) {
    m_context.prompts.Show(StringText(StringId::kRecordSetupFailed), "", PromptIcon::Error);
    return false;
  }
  // Buffers are taken from now on: written into the file, or queued for the input stream.
  m_run.engineState = m_run.liveInput ? kEngineLive : kEngineRecording;
  m_lastStatus = {};
  return true;
}

double InputSession::InputSeconds() const {
  const uint32_t rate = m_format.avgBytesPerSecond;
  return rate == 0 || m_environment == nullptr ? 0.0 : static_cast<double>(m_environment->Devices().BytesRecorded()) / rate;
}

bool InputSession::LimitReached() const {
  return m_limit.has_value() && m_environment != nullptr && m_format.avgBytesPerSecond > 0 &&
         static_cast<double>(m_environment->Devices().BytesRecorded()) >= *m_limit * m_format.avgBytesPerSecond;
}

bool InputSession::Interrupted() const { return InterruptGuard::Interrupted(); }

void InputSession::OnPump(int maxWaitMs) {
  if (Interrupted() || LimitReached()) m_run.stopRequested.store(1);
  ShowStatus();
  if (maxWaitMs != 0)
    m_environment->Queue().PollWake(maxWaitMs < 0 ? kInterruptCheckMs : std::min(maxWaitMs, kInterruptCheckMs));
}

void InputSession::ShowStatus() {
  if (!m_terminal || !m_status) return;
  const auto now = std::chrono::steady_clock::now();
  if (now - m_lastStatus < kStatusInterval) return;
  m_lastStatus = now;
  std::fprintf(m_context.err, "\r%s ", m_status().c_str());
  std::fflush(m_context.err);
  m_statusShown = true;
}

void InputSession::EndStatus() {
  if (m_statusShown) std::fprintf(m_context.err, "\n");
  m_statusShown = false;
}

}  // namespace ztlive::cli
