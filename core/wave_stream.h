// WaveStream: the one class through which every sample enters and leaves the program.
//
// One object is at once a block reader of a PCM wave file (with history kept in front of each
// block and look-ahead behind it), a sample-by-sample writer into a wave file, and a sink for
// the output device (in the device modes it collects written values into its block and hands
// each full block over).
//
// Value buffer geometry for block size B and history capacity H (H no larger than B):
//
//   base                  begin            limit
//   |<---- 8 x H room ---->|<----- B ------>|<------- look-ahead room (> 10 blocks) ------->|
//   (B + H + 4) x 16 values in all, allocated once at construction and zero-filled.
//
// Positions in a file are byte offsets from the first byte of the data chunk.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "core/file_io.h"
#include "core/riff_layout.h"
#include "core/run_state.h"
#include "core/sample_codec.h"
#include "core/sample_value.h"
#include "core/stream_error.h"
#include "core/wave_format.h"

namespace ztlive {

class MessageQueue;
class WaveStream;

enum StreamMode : int32_t {
  kModeMemory = 0,         // values stay in the block; the owner empties it
  kModeFile = 2,           // values are packed into the file
  kModeLiveInput = 4,      // the input device fills the block
  kModeDevice = 8,         // full blocks go to the output device
  kModeDeviceAndLog = 10,  // full blocks go to the device, values also into the file
};

// Create modes: 1 overwrites, 2 writes in place into an existing file, 0 appends to it; a
// mode containing 4 allocates no I/O buffer when the file is opened.
inline constexpr int kCreateAppend = 0;
inline constexpr int kCreateOverwrite = 1;
inline constexpr int kCreateInPlace = 2;
inline constexpr int kCreateNoIoBuffer = 4;

// Open flags.
inline constexpr int kOpenRead = 0;
inline constexpr int kOpenWrite = 1;

// FinishWrite / CloseChunks flags: write out what was packed, and rewrite the chunk sizes.
inline constexpr int kFlagDirty = 1;

// The device engine's hand-over of a full block (from begin to end); nonzero on success.
using DeviceHandOver = int (*)(void* context, WaveStream& stream);
// Live input: the input side fills the waiting stream's block from a recorded buffer; true
// when it did. Called only while ReadBlock waits, so a filter never sees its block change.
using LiveFill = bool (*)(void* context, WaveStream& stream);

class WaveStream {
 public:
  static constexpr uint32_t kIoBufferTarget = 8192;  // bytes, rounded down to whole frames
  static constexpr size_t kMemoryFileBytes = 256000;  // initial size and growth of memory files

  WaveStream(int blockSize, int historyCapacity, RunState& run = TheRunState());
  virtual ~WaveStream();
  WaveStream(const WaveStream&) = delete;
  WaveStream& operator=(const WaveStream&) = delete;

  // False when the buffers could not be allocated.
  bool HasBuffers() const { return m_base != nullptr; }

  // Files.
  int Open(const std::string& path, int openFlags);
  int Create(const std::string& path, WaveFormat& format, int createMode);
  void Close();
  bool IsFileOpen() const { return m_file.IsOpen(); }
  int PrepareWriteBuffer();
  int FinishWrite(int bufferFlags, int chunkFlags);
  int CloseChunks(int flags);
  int64_t SeekData(int64_t offset, int origin);
  void AlignPositions(uint32_t* first, uint32_t* second) const;
  void SetFormat(const WaveFormat& format);

  // Blocks.
  int ReadBlock(int history, int lookAhead, SampleValue** first, SampleValue** last);
  int64_t ReadValues(int count);
  int64_t WriteBytes(int byteCount);
  void UnpackBytes(const uint8_t* bytes, int length);
  void PackValues(uint8_t* bytes, int length, int bytesPerSample = 0) const;
  void ConsumeBlock();
  // A memory stream's next block from values held elsewhere, as ReadBlock would read it from
  // a file holding them: the tail of the last block becomes the history, count values make
  // the block, up to lookAhead of the following ones (of the available) follow it, and what
  // is not available reads as silence. last marks the final block. Returns false when the
  // block does not fit the stream's room.
  bool FillBlock(const SampleValue* values, size_t count, size_t available, int history, int lookAhead, bool last);
  // Raw file bytes at the current position (range copies move bytes, not values). A read
  // stops at the end of the data; a write may extend it. Both advance the position.
  int64_t ReadRaw(uint8_t* bytes, size_t count);
  bool WriteRaw(const uint8_t* bytes, size_t count);
  // Makes the data chunk dataBytes long (not longer than it is), rewrites the sizes and cuts
  // the file after it. 0 on success.
  int ShortenData(uint64_t dataBytes);
  int WriteWord(int16_t word);
  int WriteSilenceAndClose(double seconds);

  // Clips to [clip low, clip high], setting the run's clip flag when it clips.
  SampleValue ClipValue(SampleValue value) {
    if (value > m_clipHigh) {
      m_run.clipOccurred.store(1, std::memory_order_relaxed);
      return m_clipHigh;
    }
    if (value < m_clipLow) {
      m_run.clipOccurred.store(1, std::memory_order_relaxed);
      return m_clipLow;
    }
    return value;
  }

  // Writes one output value: 1 to go on, 0 to stop. Called once per value of every filter:
  // the common case, packing into a file, stays inline; the device and memory modes and the
  // log file take the call below.
  int WriteSample(SampleValue value) {
    if (const int stop = m_run.stopRequested.load(std::memory_order_relaxed)) return stop;
    if (!m_writesToFile) return WriteSampleToBlock(value);
    return PackIntoIoBuffer(value) ? 1 : 0;
  }

  // Accessors.
  StreamMode Mode() const { return m_mode; }
  void SetMode(StreamMode mode) {
    m_mode = mode;
    UpdateWritePath();
  }
  const WaveFormat& Format() const { return m_format; }
  int BytesPerSample() const { return m_bytesPerSample; }
  uint32_t AvgBytesPerSecond() const { return m_format.avgBytesPerSecond; }
  int BlockSize() const { return m_blockSize; }
  // The block that live input fills and that the device modes hand over, in values: at most
  // the block size; 0 or anything larger restores the whole block. Set while the block is
  // empty. File reads always take whole blocks of BlockSize().
  void SetLiveBlockLength(int values);
  int LiveBlockLength() const { return static_cast<int>(m_limit - m_begin); }
  const RunState& Run() const { return m_run; }
  int HistoryCapacity() const { return m_historyCapacity; }
  int History() const { return m_history; }
  int LookAhead() const { return m_lookAhead; }
  uint32_t LastBlock() const { return m_lastBlock; }
  SampleValue* Begin() const { return m_begin; }
  SampleValue* End() const { return m_end; }
  SampleValue* Cursor() const { return m_cursor; }
  SampleValue* Limit() const { return m_limit; }
  void SetCursor(SampleValue* cursor) { m_cursor = cursor; }
  void SetEnd(SampleValue* end) { m_end = end; }
  void ResetCursor() { m_cursor = m_begin; }
  void ResetEnd() { m_end = m_begin; }
  // Bytes of the data chunk as the file holds them now.
  uint64_t DataBytes() const { return m_dataEnd - m_dataOffset; }
  // The layout found by the last Open or Create of an existing file.
  const WaveLayout& Layout() const { return m_layout; }
  // True when the last Open or Create of an existing file took the data length from the file
  // size because the header's was 0 or short (the file itself is not changed by opening it).
  bool LengthRecovered() const { return m_layout.lengthRecovered; }
  // The bytes of a memory file.
  std::span<const uint8_t> MemoryFile() const { return m_file.Memory(); }

  void SetDeviceHandOver(DeviceHandOver handOver, void* context) {
    m_handOver = handOver;
    m_handOverContext = context;
  }
  void SetLiveFill(LiveFill fill, void* context) {
    m_liveFill = fill;
    m_liveFillContext = context;
  }
  // The queue whose messages ReadBlock dispatches while it works; none: nothing dispatched.
  void SetMessageQueue(MessageQueue* queue) { m_queue = queue; }

 private:
  int OpenLayout(int openFlags);
  int WriteSampleToBlock(SampleValue value);
  // Clips and packs one value at the I/O buffer's next byte, writing a full buffer out first.
  bool PackIntoIoBuffer(SampleValue value) {
    if (m_ioEnd - m_ioNext < m_bytesPerSample && !AdvanceIoBuffer()) return false;
    StoreSample(m_ioNext, ClipValue(value), m_bytesPerSample);
    m_ioNext += m_bytesPerSample;
    return true;
  }
  void UpdateWritePath() { m_writesToFile = m_file.IsOpen() && m_mode == kModeFile; }
  // While the data grows, the header's sizes follow at least once a second of audio, so a
  // writer killed at any moment leaves a header short by less than a second.
  void AfterDataGrew() {
    if (m_dataEnd >= m_nextSizesAt) WriteGrowingSizes();
  }
  void WriteGrowingSizes();
  void ScheduleSizes();
  void ResetClipLimits();
  void AfterFormatChange();
  bool AdvanceIoBuffer();
  bool FlushIoBuffer();
  bool HandOverBlock();
  int ReadLiveBlock(SampleValue** first, SampleValue** last);
  size_t LookAheadRoom() const;

  RunState& m_run;
  StreamMode m_mode = kModeMemory;
  bool m_writesToFile = false;  // a file is open in kModeFile: WriteSample packs into it
  SampleValue* m_cursor = nullptr;
  SampleValue* m_end = nullptr;
  SampleValue* m_base = nullptr;
  SampleValue* m_begin = nullptr;
  SampleValue* m_limit = nullptr;
  SampleValue* m_valuesEnd = nullptr;  // one past the value buffer's last value
  struct FreeBytes {
    void operator()(uint8_t* bytes) const { std::free(bytes); }
  };
  std::unique_ptr<uint8_t[], FreeBytes> m_byteBuffer;
  size_t m_valueCount = 0;  // values in the value buffer
  size_t m_byteCount = 0;   // bytes in the byte buffer
  uint32_t m_lastBlock = 0;
  int m_blockSize = 0;
  int m_historyCapacity = 0;

  // The I/O buffer that WriteSample packs into directly: bytes [m_ioBuffer, m_ioNext) are
  // packed and belong at file offset m_ioFileOffset.
  std::unique_ptr<uint8_t[]> m_ioBuffer;
  uint8_t* m_ioNext = nullptr;
  uint8_t* m_ioEnd = nullptr;
  uint64_t m_ioFileOffset = 0;

  WaveFormat m_format;
  int m_bytesPerSample = 2;
  int m_lookAhead = 0;
  int m_history = 0;
  SampleValue m_clipHigh = kSampleMax;
  SampleValue m_clipLow = kSampleMin;

  FileIo m_file;
  WaveLayout m_layout;
  uint64_t m_position = 0;      // file offset of the next ReadValues / WriteBytes
  uint64_t m_dataOffset = 0;    // the first sample's byte
  uint64_t m_dataEnd = 0;       // one past the data chunk's last byte, growing with writes
  uint64_t m_openedDataEnd = 0; // the data end when the file was opened
  uint64_t m_riffEnd = 0;
  bool m_sizesDirty = false;    // a created file's chunk sizes must be written
  uint64_t m_openedFileSize = 0; // the file's length when it was opened or created
  uint64_t m_nextSizesAt = UINT64_MAX;  // the data end at which the header's sizes are rewritten
  // The file's bytes in front of the data when there are few of them (always for the files we
  // create): the growing sizes are then written back with one write instead of two.
  static constexpr size_t kHeadRoom = 128;
  uint8_t m_head[kHeadRoom] = {};
  bool m_haveHead = false;

  DeviceHandOver m_handOver = nullptr;
  void* m_handOverContext = nullptr;
  LiveFill m_liveFill = nullptr;
  void* m_liveFillContext = nullptr;
  MessageQueue* m_queue = nullptr;
};

}  // namespace ztlive
