#include "testing/test_folder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace ztlive::test {

TestFolder::TestFolder() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/ztlive-test-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  m_path = pattern;
}

TestFolder::~TestFolder() {
  std::error_code ignored;
  std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ignored);
  std::filesystem::remove_all(m_path, ignored);
}

ScopedEnvironment::ScopedEnvironment(std::string name, const std::optional<std::string>& value)
    : m_name(std::move(name)) {
  if (const char* previous = std::getenv(m_name.c_str())) m_previous = previous;
  if (value)
    setenv(m_name.c_str(), value->c_str(), 1);
  else
    unsetenv(m_name.c_str());
}

ScopedEnvironment::~ScopedEnvironment() {
  if (m_previous)
    setenv(m_name.c_str(), m_previous->c_str(), 1);
  else
    unsetenv(m_name.c_str());
}

std::string ReadFileText(const std::string& path) {
  std::ifstream stream(path, std::ios::binary);
  std::ostringstream text;
  text << stream.rdbuf();
  return text.str();
}

void WriteFileText(const std::string& path, const std::string& text) {
  std::ofstream stream(path, std::ios::binary | std::ios::trunc);
  stream << text;
}

}  // namespace ztlive::test
