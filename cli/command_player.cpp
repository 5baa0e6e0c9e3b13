#include "cli/command_player.h"

#include "platform/settings_store.h"
#include "platform/string_table.h"

namespace ztlive::cli {

std::unique_ptr<CommandPlayer> CommandPlayer::Open(Prompts& prompts) {
  std::unique_ptr<CommandPlayer> player(new CommandPlayer);
  if (player->m_devices.OutputDeviceNames().empty()) {
    prompts.Show(StringText(StringId::kNoPlaybackDevice), "", PromptIcon::Error);
    return nullptr;
  }
  const SettingsStore settings;
  const DeviceEngine::Settings engineSettings{static_cast<unsigned>(settings.Read(setting::kDevOut)),
                                              static_cast<unsigned>(settings.Read(setting::kDevIn)),
                                              settings.Read(setting::kPreRollBuffs)};
  player->m_engine = std::make_unique<DeviceEngine>(player->m_devices, player->m_queue, prompts, player->m_run,
                                                    player->m_playStream, player->m_recordStream, engineSettings);
  return player;
}

}  // namespace ztlive::cli
