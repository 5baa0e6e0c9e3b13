#include "testing/wave_bytes.h"

#include <fstream>
#include <iterator>

namespace ztlive::test {

namespace {

void Put16(std::vector<uint8_t>& bytes, uint16_t value) {
  bytes.push_back(static_cast<uint8_t>(value));
  bytes.push_back(static_cast<uint8_t>(value >> 8));
}

void Put32(std::vector<uint8_t>& bytes, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void PutId(std::vector<uint8_t>& bytes, const std::string& id) { bytes.insert(bytes.end(), id.begin(), id.end()); }

}  // namespace

WaveBytes& WaveBytes::Format(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, uint32_t size) {
  std::vector<uint8_t> body;
  const auto align = static_cast<uint16_t>(channels * ((bits + 7) / 8));
  Put16(body, tag);
  Put16(body, channels);
  Put32(body, rate);
  Put32(body, rate * align);
  Put16(body, align);
  Put16(body, bits);
  body.resize(size, 0);
  return Chunk("fmt ", body);
}

WaveBytes& WaveBytes::Extensible(uint16_t channels, uint32_t rate, uint16_t bits, uint16_t validBits,
                                 uint32_t subFormat) {
  std::vector<uint8_t> body;
  const auto align = static_cast<uint16_t>(channels * ((bits + 7) / 8));
  Put16(body, 0xFFFE);
  Put16(body, channels);
  Put32(body, rate);
  Put32(body, rate * align);
  Put16(body, align);
  Put16(body, bits);
  Put16(body, 22);
  Put16(body, validBits);
  Put32(body, channels == 1 ? 4 : 3);
  Put32(body, subFormat);
  for (uint8_t b : {0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}) body.push_back(b);
  return Chunk("fmt ", body);
}

WaveBytes& WaveBytes::Chunk(const std::string& id, const std::vector<uint8_t>& body) {
  PutId(m_body, id);
  Put32(m_body, static_cast<uint32_t>(body.size()));
  m_body.insert(m_body.end(), body.begin(), body.end());
  if (body.size() & 1) m_body.push_back(0);
  return *this;
}

WaveBytes& WaveBytes::Data(const std::vector<uint8_t>& samples, uint32_t storedSize) {
  PutId(m_body, "data");
  Put32(m_body, storedSize != 0 ? storedSize : static_cast<uint32_t>(samples.size()));
  m_body.insert(m_body.end(), samples.begin(), samples.end());
  if (samples.size() & 1) m_body.push_back(0);
  return *this;
}

std::vector<uint8_t> WaveBytes::Build(uint32_t riffSize) const {
  std::vector<uint8_t> file;
  PutId(file, "RIFF");
  Put32(file, riffSize != 0 ? riffSize : static_cast<uint32_t>(m_body.size() + 4));
  PutId(file, "WAVE");
  file.insert(file.end(), m_body.begin(), m_body.end());
  return file;
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream stream(path, std::ios::binary | std::ios::trunc);
  stream.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream stream(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
}

std::vector<uint8_t> Samples16(const std::vector<int16_t>& samples) {
  std::vector<uint8_t> bytes;
  for (int16_t s : samples) Put16(bytes, static_cast<uint16_t>(s));
  return bytes;
}

}  // namespace ztlive::test
