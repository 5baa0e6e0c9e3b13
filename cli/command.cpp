#include "cli/command.h"

namespace ztlive::cli {

void PrintError(CommandContext& context, std::string_view message) {
  std::fprintf(context.err, "%.*s\n", static_cast<int>(message.size()), message.data());
}

}  // namespace ztlive::cli
