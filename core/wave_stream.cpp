#include "core/wave_stream.h"

#include <sys/stat.h>

#include <algorithm>
#include <cassert>
#include <cstring>
#include <new>

#include "platform/message_queue.h"

namespace ztlive {

WaveFormat MakePcmFormat(uint16_t channels, uint32_t sampleRate, uint16_t bitsPerSample) {
  WaveFormat format;
  format.formatTag = kFormatPcm;
  format.channels = channels;
  format.sampleRate = sampleRate;
  format.bitsPerSample = bitsPerSample;
  format.blockAlign = static_cast<uint16_t>(channels * BytesPerSample(bitsPerSample));
  format.avgBytesPerSecond = sampleRate * format.blockAlign;
  return format;
}

WaveStream::WaveStream(int blockSize, int historyCapacity, RunState& run)
    : m_run(run), m_blockSize(blockSize), m_historyCapacity(std::min(historyCapacity, blockSize)) {
  const size_t room = (static_cast<size_t>(m_blockSize) + static_cast<size_t>(m_historyCapacity) + 4) * 16;
  // Zeroed by calloc, which takes fresh pages from the system as they are and so touches
  // only the part of these generous buffers a stream ever uses.
  m_base = static_cast<SampleValue*>(std::calloc(room, sizeof(SampleValue)));
  m_byteBuffer.reset(static_cast<uint8_t*>(std::calloc(room, 1)));
  m_ioBuffer.reset(new (std::nothrow) uint8_t[kIoBufferTarget]);
  if (m_base == nullptr || m_byteBuffer == nullptr || m_ioBuffer == nullptr) {
    std::free(m_base);
    m_base = nullptr;
    m_byteBuffer.reset();
    m_ioBuffer.reset();
    return;
  }
  m_valueCount = room;
  m_byteCount = room;
  m_begin = m_base + 8 * static_cast<size_t>(m_historyCapacity);
  m_valuesEnd = m_base + room;
  m_limit = m_begin + m_blockSize;
  m_cursor = m_end = m_begin;
  AfterFormatChange();
}

WaveStream::~WaveStream() {
  Close();
  std::free(m_base);
}

void WaveStream::ResetClipLimits() {
  m_clipHigh = kSampleMax;
  m_clipLow = kSampleMin;
}

void WaveStream::AfterFormatChange() {
  m_format.extraSize = 18;
  m_bytesPerSample = std::max(1, ztlive::BytesPerSample(m_format.bitsPerSample));
  ResetClipLimits();
}

size_t WaveStream::LookAheadRoom() const {
  const size_t valueRoom = m_valueCount - static_cast<size_t>(m_limit - m_base);
  const size_t byteRoom = m_byteCount / static_cast<size_t>(m_bytesPerSample) - static_cast<size_t>(m_blockSize);
  return std::min(valueRoom, byteRoom);
}

void WaveStream::Close() {
  if (m_file.IsOpen()) {
    // What was packed reaches the file, and a file this stream created gets its sizes.
    FlushIoBuffer();
    if (m_sizesDirty) CloseChunks(0);
  }
  m_file.Close();
  m_nextSizesAt = UINT64_MAX;
  m_haveHead = false;
  m_ioNext = m_ioEnd = nullptr;
  m_cursor = m_end = m_begin;
  UpdateWritePath();
}

int WaveStream::OpenLayout(int openFlags) {
  const int result = ReadWaveLayout(m_file, m_layout);
  if (result != kStreamOk) return result;
  // Writing needs a packing, which 32-bit samples do not have.
  if ((openFlags & kOpenWrite) && m_layout.format.bitsPerSample == 32) return kStreamBadResolution;
  m_dataOffset = m_layout.dataOffset;
  m_dataEnd = m_openedDataEnd = m_dataOffset + m_layout.dataBytes;
  m_riffEnd = m_layout.riffEnd;
  m_position = m_dataOffset;
  m_sizesDirty = false;
  m_openedFileSize = static_cast<uint64_t>(std::max<int64_t>(m_file.Size(), 0));
  return kStreamOk;
}

int WaveStream::Open(const std::string& path, int openFlags) {
  Close();
  if (!HasBuffers()) return kStreamMemoryError;
  if (m_file.OpenFile(path, (openFlags & kOpenWrite) != 0) != 0) return kStreamCannotOpen;
  if (const int result = OpenLayout(openFlags); result != kStreamOk) {
    m_file.Close();
    return result;
  }
  m_mode = (openFlags & kOpenWrite) ? kModeFile : kModeMemory;
  UpdateWritePath();
  m_format = m_layout.format;
  AfterFormatChange();
  ScheduleSizes();
  std::memset(m_base, 0, m_valueCount * sizeof(SampleValue));
  m_cursor = m_end = m_begin;
  m_lastBlock = 0;
  return kStreamOk;
}

int WaveStream::Create(const std::string& path, WaveFormat& format, int createMode) {
  Close();
  if (!HasBuffers()) return kStreamMemoryError;
  m_layout = WaveLayout();
  struct stat info {};
  const bool exists = !path.empty() && stat(path.c_str(), &info) == 0;

  if (!path.empty() && exists && createMode != kCreateOverwrite) {
    if (m_file.OpenFile(path, true) != 0) return kStreamCannotWrite;
    const int result = OpenLayout(kOpenWrite);
    const bool sameShape = result == kStreamOk && m_layout.format.channels == format.channels &&
                           m_layout.format.sampleRate == format.sampleRate;
    if (!sameShape) {
      m_file.Close();
      return result == kStreamBadResolution ? result : kStreamBadFormat;
    }
    format = m_layout.format;  // the file's own format wins
    if (createMode == kCreateAppend) m_position = m_dataEnd;
  } else {
    const bool writable = IsSupportedWidth(format.bitsPerSample) && format.bitsPerSample != 32 &&
                          format.channels >= 1 && format.channels <= 2 && format.sampleRate > 0;
    if (!writable) return format.bitsPerSample == 32 ? kStreamBadResolution : kStreamBadFormat;
    format.blockAlign = static_cast<uint16_t>(format.channels * ztlive::BytesPerSample(format.bitsPerSample));
    format.avgBytesPerSecond = format.sampleRate * format.blockAlign;
    if (path.empty()) {
      m_file.OpenMemory(kMemoryFileBytes, kMemoryFileBytes);
    } else if (m_file.CreateFile(path) != 0) {
      return kStreamCannotWrite;
    }
    if (!WriteWaveHeader(m_file, format)) {
      m_file.Close();
      return kStreamCannotWrite;
    }
    m_dataOffset = m_dataEnd = m_openedDataEnd = m_position = kWaveHeaderBytes;
    m_riffEnd = kWaveHeaderBytes;
    m_sizesDirty = true;
    m_openedFileSize = kWaveHeaderBytes;
  }
  m_format = format;
  AfterFormatChange();
  ScheduleSizes();
  m_cursor = m_end = m_begin;
  UpdateWritePath();
  return kStreamOk;
}

int WaveStream::PrepareWriteBuffer() {
  if (!m_file.IsOpen() || !m_file.IsWritable() || m_ioBuffer == nullptr) return 1;
  FlushIoBuffer();
  const uint32_t frame = std::max<uint32_t>(m_format.blockAlign, 1);
  m_ioNext = m_ioBuffer.get();
  m_ioEnd = m_ioNext + frame * (kIoBufferTarget / frame);
  m_ioFileOffset = m_position;
  return 0;
}

bool WaveStream::FlushIoBuffer() {
  if (m_ioNext == nullptr || m_ioNext == m_ioBuffer.get()) return true;
  const auto bytes = static_cast<size_t>(m_ioNext - m_ioBuffer.get());
  if (!m_file.WriteAt(m_ioFileOffset, m_ioBuffer.get(), bytes)) return false;
  m_ioFileOffset += bytes;
  m_position = m_ioFileOffset;
  m_dataEnd = std::max(m_dataEnd, m_ioFileOffset);
  m_ioNext = m_ioBuffer.get();
  AfterDataGrew();
  return true;
}

void WaveStream::ScheduleSizes() {
  // Memory files cannot be left behind half-written; only real files need the sizes early.
  if (!m_file.IsOpen() || m_file.IsMemory() || !m_file.IsWritable()) {
    m_nextSizesAt = UINT64_MAX;
    m_haveHead = false;
    return;
  }
  // Read once per file (or after CloseChunks), never per update.
  if (!m_haveHead && m_dataOffset >= 12 && m_dataOffset <= kHeadRoom)
    m_haveHead = m_file.ReadAt(0, m_head, m_dataOffset) == static_cast<int64_t>(m_dataOffset);
  // Data reaches the file one I/O buffer at a time, so the sizes follow after a second less
  // one buffer: the header never lags a second behind (where a buffer holds less than that).
  const uint64_t frame = std::max<uint64_t>(m_format.blockAlign, 1);
  const uint64_t second = m_format.avgBytesPerSecond;
  const uint64_t interval = second > kIoBufferTarget ? (second - kIoBufferTarget) / frame * frame : 0;
  m_nextSizesAt = m_dataEnd + std::max(interval, frame);
}

void WaveStream::WriteGrowingSizes() {
  // The sizes claim only data already in the file (written before them), never more. No pad
  // byte and no cutting here: CloseChunks does that when the writer finishes.
  const uint64_t dataBytes = std::min<uint64_t>(m_dataEnd - m_dataOffset, 0xFFFFFFFEull);
  const uint64_t riffEnd = std::max(m_riffEnd, m_dataOffset + dataBytes);
  m_sizesDirty = true;
  if (m_haveHead)
    WriteChunkSizesInHead(m_file, m_head, riffEnd, m_dataOffset, static_cast<uint32_t>(dataBytes));
  else
    WriteChunkSizes(m_file, riffEnd, m_dataOffset, static_cast<uint32_t>(dataBytes));
  ScheduleSizes();
}

bool WaveStream::AdvanceIoBuffer() {
  if (m_ioNext == nullptr) return false;  // no write buffer was prepared
  return FlushIoBuffer();
}

int WaveStream::FinishWrite(int bufferFlags, int chunkFlags) {
  bool written = true;
  if (bufferFlags & kFlagDirty) written = FlushIoBuffer();
  m_ioNext = m_ioEnd = nullptr;
  const int closed = CloseChunks(chunkFlags);
  return written ? closed : 1;
}

int WaveStream::CloseChunks(int flags) {
  if (!m_file.IsOpen()) return 1;
  if (!(flags & kFlagDirty) && !m_sizesDirty) return 0;
  const uint64_t dataBytes = std::min<uint64_t>(m_dataEnd - m_dataOffset, 0xFFFFFFFEull);
  uint64_t chunkEnd = m_dataOffset + dataBytes;
  if (dataBytes & 1) {
    const uint8_t pad = 0;
    if (!m_file.WriteAt(chunkEnd, &pad, 1)) return 1;
    ++chunkEnd;
  }
  // Bytes that a write which failed part-way left past the data and past the file's old end go.
  const uint64_t keep = std::max(m_openedFileSize, chunkEnd);
  if (m_file.Size() > static_cast<int64_t>(keep) && !m_file.Truncate(keep)) return 1;
  // Data that grew over chunks that followed it has overwritten them: they end the file.
  if (m_dataEnd > m_openedDataEnd && m_riffEnd > chunkEnd) {
    if (!m_file.Truncate(chunkEnd)) return 1;
    m_riffEnd = chunkEnd;
  }
  m_riffEnd = std::max(m_riffEnd, chunkEnd);
  if (!WriteChunkSizes(m_file, m_riffEnd, m_dataOffset, static_cast<uint32_t>(dataBytes))) return 1;
  m_sizesDirty = false;
  m_haveHead = false;  // the head is read again: what CloseChunks wrote is in it then
  ScheduleSizes();
  return 0;
}

int64_t WaveStream::SeekData(int64_t offset, int origin) {
  if (!m_file.IsOpen()) return -1;
  int64_t target = 0;
  switch (origin) {
    case 0:
      target = static_cast<int64_t>(m_dataOffset) + offset;
      break;
    case 1:
      target = static_cast<int64_t>(m_position) + offset;
      break;
    case 2:
      target = m_file.Size() + offset;
      break;
    default:
      return -1;
  }
  if (target < 0) return -1;
  FlushIoBuffer();
  m_position = static_cast<uint64_t>(target);
  if (m_ioNext != nullptr) m_ioFileOffset = m_position;
  return target;
}

void WaveStream::AlignPositions(uint32_t* first, uint32_t* second) const {
  const uint32_t frame = std::max<uint32_t>(m_format.blockAlign, 1);
  if (first != nullptr) *first -= *first % frame;
  if (second != nullptr) *second -= *second % frame;
}

void WaveStream::SetFormat(const WaveFormat& format) {
  m_format = format;
  AfterFormatChange();
}

int WaveStream::ReadBlock(int history, int lookAhead, SampleValue** first, SampleValue** last) {
  assert(history >= 0 && history <= 8 * m_historyCapacity && "history beyond the stream's room");
  m_history = std::clamp(history, 0, 8 * m_historyCapacity);
  m_lookAhead = static_cast<int>(std::clamp<size_t>(static_cast<size_t>(std::max(lookAhead, 0)), 0, LookAheadRoom()));
  if (m_queue != nullptr) m_queue->DispatchPending();

  RunState& run = m_run;
  if (run.readPosition >= run.regionEnd) {
    if (!(run.loopPreview && run.engineState == kEnginePlaying)) return 1;
    run.readPosition = run.regionStart;
  }

  // The tail of the last block becomes the history of this one.
  if (m_history > 0) std::memmove(m_begin - m_history, m_end - m_history, m_history * sizeof(SampleValue));
  m_end = m_begin;

  if (run.liveInput) return ReadLiveBlock(first, last);

  const size_t wantedValues = static_cast<size_t>(m_blockSize) + static_cast<size_t>(m_lookAhead);
  const uint64_t from = m_dataOffset + run.readPosition;
  const uint64_t available = m_dataEnd > from ? m_dataEnd - from : 0;
  const size_t bytes = static_cast<size_t>(std::min<uint64_t>(wantedValues * m_bytesPerSample, available));
  const int64_t got = bytes == 0 ? 0 : m_file.ReadAt(from, m_byteBuffer.get(), bytes);
  if (got <= 0) return 1;
  const size_t valuesRead = static_cast<size_t>(got) / static_cast<size_t>(m_bytesPerSample);
  UnpackSamples(m_byteBuffer.get(), valuesRead, m_bytesPerSample, m_begin);
  // What the file does not deliver (past the end of its data) reads as silence.
  if (valuesRead < wantedValues) std::memset(m_begin + valuesRead, 0, (wantedValues - valuesRead) * sizeof(SampleValue));

  const uint64_t blockBytes = static_cast<uint64_t>(m_bytesPerSample) * static_cast<uint64_t>(m_blockSize);
  if (run.readPosition + blockBytes < run.regionEnd && valuesRead >= static_cast<size_t>(m_blockSize)) {
    run.readPosition += static_cast<uint32_t>(blockBytes);
    m_end = m_begin + m_blockSize;
    m_lastBlock = 0;
  } else {
    const size_t regionValues = (run.regionEnd - run.readPosition) / static_cast<uint32_t>(m_bytesPerSample);
    m_end = m_begin + std::min(regionValues, std::min(valuesRead, static_cast<size_t>(m_blockSize)));
    run.readPosition = run.regionEnd;
    m_lastBlock = 1;
  }
  // The look-ahead values are read again as the head of the next block.
  m_position = m_dataOffset + run.readPosition;
  m_cursor = m_begin;
  *first = m_begin;
  *last = m_end;
  return run.stopRequested.load(std::memory_order_relaxed);
}

void WaveStream::SetLiveBlockLength(int values) {
  if (m_base == nullptr) return;
  m_limit = m_begin + (values > 0 && values < m_blockSize ? values : m_blockSize);
  m_end = std::min(m_end, m_limit);
  m_cursor = std::min(m_cursor, m_end);
}

int WaveStream::ReadLiveBlock(SampleValue** first, SampleValue** last) {
  // The input device fills the block from begin to limit; wait for it, one message a round.
  RunState& run = m_run;
  while (m_end < m_limit) {
    if (run.stopRequested.load(std::memory_order_relaxed)) return 1;
    if (m_liveFill != nullptr && m_liveFill(m_liveFillContext, *this)) continue;
    if (m_queue == nullptr) return 1;  // nobody could ever fill it
    m_queue->DispatchOne(100);
  }
  // Live input has no future: the look-ahead reads as silence, as past the end of a file,
  // never as what an earlier run left behind the block.
  const size_t silence = std::min(static_cast<size_t>(m_lookAhead), static_cast<size_t>(m_valuesEnd - m_end));
  std::fill_n(m_end, silence, SampleValue{0});
  *first = m_begin;
  *last = m_end;
  m_cursor = m_begin;
  run.readPosition += static_cast<uint32_t>(m_end - m_begin);
  return run.stopRequested.load(std::memory_order_relaxed);
}

int64_t WaveStream::ReadValues(int count) {
  if (!m_file.IsOpen() || count <= 0) return count <= 0 ? 0 : -1;
  const size_t maxValues = std::min<size_t>(m_byteCount / m_bytesPerSample, m_valueCount - (m_begin - m_base));
  const size_t values = std::min<size_t>(static_cast<size_t>(count), maxValues);
  const uint64_t available = m_dataEnd > m_position ? m_dataEnd - m_position : 0;
  const size_t bytes = static_cast<size_t>(std::min<uint64_t>(values * m_bytesPerSample, available));
  if (bytes == 0) return 0;
  const int64_t got = m_file.ReadAt(m_position, m_byteBuffer.get(), bytes);
  if (got < 0) return -1;
  const size_t valuesRead = static_cast<size_t>(got) / m_bytesPerSample;
  UnpackSamples(m_byteBuffer.get(), valuesRead, m_bytesPerSample, m_begin);
  m_position += static_cast<uint64_t>(got);
  m_end = m_begin + valuesRead;
  m_cursor = m_begin;
  return got;
}

int64_t WaveStream::WriteBytes(int byteCount) {
  if (!m_file.IsOpen() || byteCount < 0) return -1;
  const size_t bytes = std::min<size_t>(static_cast<size_t>(byteCount), 4 * static_cast<size_t>(m_blockSize));
  PackValues(m_byteBuffer.get(), static_cast<int>(bytes));
  if (!m_file.WriteAt(m_position, m_byteBuffer.get(), bytes)) return -1;
  m_position += bytes;
  m_dataEnd = std::max(m_dataEnd, m_position);
  AfterDataGrew();
  return static_cast<int64_t>(bytes);
}

void WaveStream::UnpackBytes(const uint8_t* bytes, int length) {
  const size_t room = m_valueCount - static_cast<size_t>(m_begin - m_base);
  const size_t values = std::min<size_t>(static_cast<size_t>(std::max(length, 0)) / m_bytesPerSample, room);
  UnpackSamples(bytes, values, m_bytesPerSample, m_begin);
  m_end = m_begin + values;
  m_cursor = m_begin;
}

void WaveStream::PackValues(uint8_t* bytes, int length, int bytesPerSample) const {
  const int width = bytesPerSample > 0 ? std::min(bytesPerSample, 3) : std::min(m_bytesPerSample, 3);
  const size_t most = 4 * static_cast<size_t>(m_blockSize);
  const size_t values = std::min<size_t>(static_cast<size_t>(std::max(length, 0)), most) / width;
  PackSamples(m_begin, values, width, bytes);
}

void WaveStream::ConsumeBlock() {
  if (m_mode != kModeMemory) return;
  const int history = std::min(m_history, 8 * m_historyCapacity);
  if (history > 0) std::memmove(m_begin - history, m_end - history, history * sizeof(SampleValue));
  m_end = m_cursor = m_begin;
}

bool WaveStream::FillBlock(const SampleValue* values, size_t count, size_t available, int history, int lookAhead,
                           bool last) {
  history = std::clamp(history, 0, 8 * m_historyCapacity);
  const size_t wanted = count + static_cast<size_t>(std::max(lookAhead, 0));
  if (m_base == nullptr || count > available || wanted > static_cast<size_t>(m_valuesEnd - m_begin)) return false;
  m_history = history;
  m_lookAhead = lookAhead;
  if (history > 0) std::memmove(m_begin - history, m_end - history, static_cast<size_t>(history) * sizeof(SampleValue));
  const size_t copied = std::min(wanted, available);
  std::copy_n(values, copied, m_begin);
  std::fill(m_begin + copied, m_begin + wanted, SampleValue{0});
  m_end = m_begin + count;
  m_cursor = m_begin;
  m_lastBlock = last ? 1 : 0;
  return true;
}

int WaveStream::WriteSampleToBlock(SampleValue value) {
  const bool fileOpen = m_file.IsOpen();
  // A file open in another mode than device-and-log takes nothing more.
  if (fileOpen && m_mode != kModeDeviceAndLog) return 1;
  // After a refused hand-over, or a stop that came while the device took the block, the value
  // is neither logged nor kept: a stopped log ends after a whole block, so after whole frames.
  if (m_mode != kModeMemory && m_end >= m_limit &&
      (!HandOverBlock() || m_run.stopRequested.load(std::memory_order_relaxed)))
    return 0;
  if (fileOpen && m_run.logToFile && !PackIntoIoBuffer(value)) return 0;
  if (m_end >= m_valuesEnd) return 0;  // a memory block is emptied by its owner before it fills
  *m_end++ = ClipValue(value);
  return m_run.stopRequested.load(std::memory_order_relaxed) ? 0 : 1;
}

bool WaveStream::HandOverBlock() {
  if (m_handOver == nullptr || !m_handOver(m_handOverContext, *this)) return false;
  m_cursor = m_end = m_begin;
  return true;
}

int64_t WaveStream::ReadRaw(uint8_t* bytes, size_t count) {
  if (!m_file.IsOpen()) return -1;
  const uint64_t available = m_dataEnd > m_position ? m_dataEnd - m_position : 0;
  const size_t wanted = static_cast<size_t>(std::min<uint64_t>(count, available));
  if (wanted == 0) return 0;
  const int64_t got = m_file.ReadAt(m_position, bytes, wanted);
  if (got > 0) m_position += static_cast<uint64_t>(got);
  return got;
}

bool WaveStream::WriteRaw(const uint8_t* bytes, size_t count) {
  if (!m_file.IsOpen() || !m_file.WriteAt(m_position, bytes, count)) return false;
  m_position += count;
  m_dataEnd = std::max(m_dataEnd, m_position);
  AfterDataGrew();
  return true;
}

int WaveStream::ShortenData(uint64_t dataBytes) {
  if (!m_file.IsOpen() || dataBytes > m_dataEnd - m_dataOffset) return 1;
  FlushIoBuffer();
  m_dataEnd = m_dataOffset + dataBytes;
  const uint64_t chunkEnd = m_dataEnd + (dataBytes & 1);
  // Whatever followed the data is cut off with the rest of the file.
  m_openedFileSize = std::min(m_openedFileSize, chunkEnd);
  m_riffEnd = chunkEnd;
  m_openedDataEnd = m_dataEnd;
  return CloseChunks(kFlagDirty);
}

int WaveStream::WriteWord(int16_t word) {
  if (m_file.IsOpen() && (m_mode == kModeFile || (m_mode == kModeDeviceAndLog && m_run.logToFile))) {
    if (m_ioEnd - m_ioNext < 2 && !AdvanceIoBuffer()) return 0;
    const auto bits = static_cast<uint16_t>(word);
    m_ioNext[0] = static_cast<uint8_t>(bits);
    m_ioNext[1] = static_cast<uint8_t>(bits >> 8);
    m_ioNext += 2;
    return 1;
  }
  if (m_mode != kModeMemory && m_end >= m_limit && !HandOverBlock()) return 0;
  *m_end++ = word;
  return 1;
}

int WaveStream::WriteSilenceAndClose(double seconds) {
  if (PrepareWriteBuffer() != 0) return 0;
  const auto samples = static_cast<uint64_t>(seconds * m_format.sampleRate) * m_format.channels;
  const uint8_t silence = m_bytesPerSample == 1 ? 0x80 : 0x00;
  for (uint64_t i = 0; i < samples; ++i) {
    if (m_ioEnd - m_ioNext < m_bytesPerSample && !AdvanceIoBuffer()) return 0;
    std::memset(m_ioNext, silence, static_cast<size_t>(m_bytesPerSample));
    m_ioNext += m_bytesPerSample;
  }
  const int finished = FinishWrite(kFlagDirty, kFlagDirty);
  Close();
  return finished == 0 ? 1 : 0;
}

}  // namespace ztlive
