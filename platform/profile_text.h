// The text of a profile (INI) file and the classic profile-file operations on it, without
// any file access: sections "[Name]" of lines "Key=Value", names compared without regard to
// ASCII case, the first of two equal keys winning, keys and sections listed in file order.
// Edits change only the lines they concern; every other byte of the text, comments and
// unreadable lines included, is kept as it was.
//
// Reading rules:
// - a section header is a line whose first non-blank character is '[' and that has a ']';
//   the name is the text between them, without surrounding blanks;
// - a key line is a line inside a section with an '=' after a non-empty key; key and value
//   lose their surrounding blanks and tabs, everything between is kept exactly;
// - lines starting with ';' are comments; every other line (no '=', garbage) is ignored;
// - a section that appears twice is read as one: its keys in file order, the first of two
//   equal keys winning;
// - line ends are LF or CR LF (any CRs before the LF, or at the very end, belong to the
//   line end); new lines take the line end of the file's first line.
//
// A value written with trailing line feeds ("1,2,3\n") keeps them in the file as empty lines
// after its key, and reads back as the text before them; a line break inside a value cannot
// be stored and is refused.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ztlive {

class ProfileText {
 public:
  ProfileText() = default;
  explicit ProfileText(std::string text) : m_text(std::move(text)) {}

  const std::string& Text() const { return m_text; }

  // The value of a key, or nothing when the section or key is missing.
  std::optional<std::string_view> Find(std::string_view section, std::string_view key) const;
  // Key names of a section in file order, each once; empty for a missing section.
  std::vector<std::string> KeyNames(std::string_view section) const;
  // Section names in file order, each once.
  std::vector<std::string> SectionNames() const;

  // Replaces the key's value, or adds the key (and its section) when missing. False, with the
  // text unchanged, for an empty or unusable name ('=' in a key, ']' in a section, a leading
  // ';' or '[', a line break in a name or inside the value).
  bool Write(std::string_view section, std::string_view key, std::string_view value);
  // Removes every line of the key in the section; false when there was none.
  bool DeleteKey(std::string_view section, std::string_view key);
  // Removes the section with all its lines; false when there was none.
  bool DeleteSection(std::string_view section);

  // True when name can be stored as a section (isSection) or key name.
  static bool IsUsableName(std::string_view name, bool isSection);

 private:
  std::string m_text;
};

}  // namespace ztlive
