#include "platform/profile_text.h"

#include <algorithm>

#include "platform/ascii.h"

namespace ztlive {

namespace {

struct Line {
  enum class Kind { Other, Section, Key };
  size_t begin = 0;       // first byte of the line
  size_t contentEnd = 0;  // end of its text, before CR LF or LF
  size_t end = 0;         // after its line end
  Kind kind = Kind::Other;
  std::string_view name;     // section or key name
  std::string_view value;    // key lines only
  size_t valueStart = 0;     // key lines: the byte after '='
  std::string_view section;  // key lines: the section they belong to
  bool IsEmpty() const { return begin == contentEnd; }
};

std::vector<Line> ScanLines(std::string_view text) {
  std::vector<Line> lines;
  std::string_view currentSection;
  bool inSection = false;
  size_t position = 0;
  while (position < text.size()) {
    Line line;
    line.begin = position;
    const size_t newline = text.find('\n', position);
    line.end = newline == std::string_view::npos ? text.size() : newline + 1;
    line.contentEnd = newline == std::string_view::npos ? text.size() : newline;
    // CRs at the end of a line belong to its line end, also at the end of the text, so that
    // adding a line end after such a line later changes no value.
    while (line.contentEnd > line.begin && text[line.contentEnd - 1] == '\r') --line.contentEnd;
    position = line.end;

    const std::string_view content = text.substr(line.begin, line.contentEnd - line.begin);
    const std::string_view trimmed = TrimBlanks(content);
    if (!trimmed.empty() && trimmed.front() == '[') {
      const size_t close = trimmed.find(']');
      if (close != std::string_view::npos) {
        line.kind = Line::Kind::Section;
        line.name = TrimBlanks(trimmed.substr(1, close - 1));
        currentSection = line.name;
        inSection = true;
      }
    } else if (inSection && !trimmed.empty() && trimmed.front() != ';') {
      const size_t equals = content.find('=');
      if (equals != std::string_view::npos) {
        const std::string_view key = TrimBlanks(content.substr(0, equals));
        if (!key.empty()) {
          line.kind = Line::Kind::Key;
          line.name = key;
          line.value = TrimBlanks(content.substr(equals + 1));
          line.valueStart = line.begin + equals + 1;
          line.section = currentSection;
        }
      }
    }
    lines.push_back(line);
  }
  return lines;
}

bool IsBlank(std::string_view text, const Line& line) {
  return TrimBlanks(text.substr(line.begin, line.contentEnd - line.begin)).empty();
}

bool IsKeyOf(const Line& line, std::string_view section, std::string_view key) {
  return line.kind == Line::Kind::Key && EqualsIgnoringCase(line.section, section) &&
         EqualsIgnoringCase(line.name, key);
}

std::string_view LineEndOf(std::string_view text) {
  const size_t newline = text.find('\n');
  if (newline != std::string_view::npos && newline > 0 && text[newline - 1] == '\r') return "\r\n";
  return "\n";
}

// Splits a value into the text kept on the key's line and the count of trailing line feeds.
struct SplitValue {
  std::string_view body;
  size_t trailingLineFeeds = 0;
  bool usable = true;
};

SplitValue SplitTrailingLineFeeds(std::string_view value) {
  SplitValue split;
  const size_t last = value.find_last_not_of("\r\n");
  split.body = last == std::string_view::npos ? std::string_view{} : value.substr(0, last + 1);
  const std::string_view tail = value.substr(split.body.size());
  split.trailingLineFeeds = static_cast<size_t>(std::count(tail.begin(), tail.end(), '\n'));
  if (split.trailingLineFeeds == 0 && !tail.empty()) split.trailingLineFeeds = 1;
  split.usable = split.body.find_first_of("\r\n") == std::string_view::npos;
  return split;
}

}  // namespace

bool ProfileText::IsUsableName(std::string_view name, bool isSection) {
  if (name.empty() || TrimBlanks(name) != name) return false;
  if (name.find_first_of("\r\n") != std::string_view::npos) return false;
  if (name.front() == '[' || name.front() == ';') return false;
  return name.find(isSection ? ']' : '=') == std::string_view::npos;
}

std::optional<std::string_view> ProfileText::Find(std::string_view section,
                                                  std::string_view key) const {
  for (const Line& line : ScanLines(m_text))
    if (IsKeyOf(line, section, key)) return line.value;
  return std::nullopt;
}

std::vector<std::string> ProfileText::KeyNames(std::string_view section) const {
  std::vector<std::string> names;
  for (const Line& line : ScanLines(m_text)) {
    if (line.kind != Line::Kind::Key || !EqualsIgnoringCase(line.section, section)) continue;
    const bool listed = std::any_of(names.begin(), names.end(),
                                    [&](const std::string& name) { return EqualsIgnoringCase(name, line.name); });
    if (!listed) names.emplace_back(line.name);
  }
  return names;
}

std::vector<std::string> ProfileText::SectionNames() const {
  std::vector<std::string> names;
  for (const Line& line : ScanLines(m_text)) {
    if (line.kind != Line::Kind::Section) continue;
    const bool listed = std::any_of(names.begin(), names.end(),
                                    [&](const std::string& name) { return EqualsIgnoringCase(name, line.name); });
    if (!listed) names.emplace_back(line.name);
  }
  return names;
}

bool ProfileText::Write(std::string_view section, std::string_view key, std::string_view value) {
  if (!IsUsableName(section, true) || !IsUsableName(key, false)) return false;
  const SplitValue split = SplitTrailingLineFeeds(value);
  if (!split.usable) return false;

  const std::vector<Line> lines = ScanLines(m_text);
  const std::string lineEnd(LineEndOf(m_text));
  std::string extraLines;
  for (size_t i = 0; i < split.trailingLineFeeds; ++i) extraLines += lineEnd;

  // An existing key: replace the text after its '=', and let the value's trailing line feeds
  // take the place of as many empty lines after it, so that rewriting never piles them up.
  for (size_t i = 0; i < lines.size(); ++i) {
    if (!IsKeyOf(lines[i], section, key)) continue;
    const Line& line = lines[i];
    size_t resumeAt = line.end;
    for (size_t swallowed = 0, next = i + 1;
         swallowed < split.trailingLineFeeds && next < lines.size() && lines[next].IsEmpty();
         ++swallowed, ++next)
      resumeAt = lines[next].end;
    std::string rewritten = m_text.substr(0, line.valueStart);
    rewritten.append(split.body);
    rewritten.append(m_text, line.contentEnd, line.end - line.contentEnd);
    rewritten.append(extraLines);
    rewritten.append(m_text, resumeAt);
    m_text = std::move(rewritten);
    return true;
  }

  const std::string keyLine = std::string(key) + "=" + std::string(split.body);

  // A new key in an existing section: after the section's last non-empty line.
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].kind != Line::Kind::Section || !EqualsIgnoringCase(lines[i].name, section)) continue;
    size_t anchor = i;
    for (size_t next = i + 1; next < lines.size() && lines[next].kind != Line::Kind::Section; ++next)
      if (!IsBlank(m_text, lines[next])) anchor = next;
    const size_t insertAt = lines[anchor].contentEnd;
    m_text.insert(insertAt, lineEnd + keyLine + extraLines);
    return true;
  }

  // A new section at the end of the text, after one empty line.
  std::string appended;
  if (!m_text.empty()) {
    if (m_text.back() != '\n') appended += lineEnd;
    if (!lines.back().IsEmpty()) appended += lineEnd;
  }
  appended += "[" + std::string(section) + "]" + lineEnd + keyLine + lineEnd;
  appended += extraLines;
  m_text += appended;
  return true;
}

bool ProfileText::DeleteKey(std::string_view section, std::string_view key) {
  const std::vector<Line> lines = ScanLines(m_text);
  std::string kept;
  kept.reserve(m_text.size());
  bool removed = false;
  for (const Line& line : lines) {
    if (IsKeyOf(line, section, key)) {
      removed = true;
      continue;
    }
    kept.append(m_text, line.begin, line.end - line.begin);
  }
  if (removed) m_text = std::move(kept);
  return removed;
}

bool ProfileText::DeleteSection(std::string_view section) {
  const std::vector<Line> lines = ScanLines(m_text);
  std::string kept;
  kept.reserve(m_text.size());
  bool removed = false;
  bool inDeleted = false;
  for (const Line& line : lines) {
    if (line.kind == Line::Kind::Section) inDeleted = EqualsIgnoringCase(line.name, section);
    if (inDeleted) {
      removed = true;
      continue;
    }
    kept.append(m_text, line.begin, line.end - line.begin);
  }
  if (removed) m_text = std::move(kept);
  return removed;
}

}  // namespace ztlive
