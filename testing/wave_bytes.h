// Builds wave files byte by byte for tests, good and broken alike.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ztlive::test {

class WaveBytes {
 public:
  // A "fmt " chunk of 16 bytes (or size bytes, padded with zeros or cut).
  WaveBytes& Format(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, uint32_t size = 16);
  // An extensible "fmt " chunk (40 bytes) with the given sub-format's first word (1 = PCM).
  WaveBytes& Extensible(uint16_t channels, uint32_t rate, uint16_t bits, uint16_t validBits,
                        uint32_t subFormat = 1);
  WaveBytes& Chunk(const std::string& id, const std::vector<uint8_t>& body);
  // A "data" chunk; storedSize overrides the size field when not zero.
  WaveBytes& Data(const std::vector<uint8_t>& samples, uint32_t storedSize = 0);
  // The whole file; riffSize overrides the RIFF size when not zero.
  std::vector<uint8_t> Build(uint32_t riffSize = 0) const;

 private:
  std::vector<uint8_t> m_body;
};

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> ReadBytes(const std::string& path);
// Little-endian 16-bit samples.
std::vector<uint8_t> Samples16(const std::vector<int16_t>& samples);

}  // namespace ztlive::test
