// The waveform device model the device engine is written against: buffers written to an
// output device come back in order, each with its done flag, as a message on the message
// queue; filled input buffers arrive the same way; a reset returns every queued buffer; a
// close is refused while buffers are queued; the position is asked in bytes.
//
// Messages: id kWaveOutDone or kWaveInData, param = the WaveHeader*, value = the device's
// handle (so a handler can tell a late message of a closed device from the open one's).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ztlive {

class MessageQueue;

struct WaveDeviceFormat {
  uint16_t channels = 2;
  uint32_t sampleRate = 44100;
  uint16_t bitsPerSample = 16;   // 8 (unsigned), 16, 20 or 24 (3 bytes), 32
  uint16_t blockAlign = 4;       // bytes per frame
};

enum WaveHeaderFlag : uint32_t {
  kWaveHeaderDone = 0x01,      // the device has finished with the buffer
  kWaveHeaderPrepared = 0x02,
  kWaveHeaderInQueue = 0x10,   // written or added, not yet returned
};

struct WaveHeader {
  uint8_t* data = nullptr;
  uint32_t bufferLength = 0;   // bytes to play, or room to record into
  uint32_t bytesRecorded = 0;  // input: bytes the device filled
  intptr_t user = 0;           // the owner's value (the engine keeps the buffer index here)
  uint32_t flags = 0;
};

enum WaveMessage : uint32_t { kWaveOutDone = 0x3BD, kWaveInData = 0x3C0 };

enum WaveResult : int {
  kWaveOk = 0,
  kWaveError = 1,
  kWaveBadDeviceId = 2,
  kWaveInvalidHandle = 5,
  kWaveNoMemory = 7,
  kWaveBadFormat = 32,
  kWaveStillPlaying = 33,
  kWaveUnprepared = 34,
};

class WaveOut {
 public:
  virtual ~WaveOut() = default;
  // Opens device deviceId (a position in the output list); messages go to target on queue.
  virtual int Open(unsigned deviceId, const WaveDeviceFormat& format, MessageQueue& queue, uint32_t target) = 0;
  virtual int Prepare(WaveHeader& header) = 0;
  virtual int Unprepare(WaveHeader& header) = 0;
  virtual int Write(WaveHeader& header) = 0;
  virtual int Pause() = 0;
  virtual int Restart() = 0;
  // Returns every queued buffer as done, in order, and sets the position to 0.
  virtual int Reset() = 0;
  // kWaveStillPlaying while buffers are queued.
  virtual int Close() = 0;
  // Bytes played since the open (or the last reset).
  virtual int Position(uint64_t& bytes) = 0;
  virtual std::string ErrorText(int result) const = 0;
  // The value that the device's messages carry; 0 while closed.
  virtual uintptr_t Handle() const = 0;
  // True once the open device has stopped by itself (unplugged, its sound server gone):
  // buffers queued to it will never come back. Main thread.
  virtual bool Lost() { return false; }
};

class WaveIn {
 public:
  virtual ~WaveIn() = default;
  virtual int Open(unsigned deviceId, const WaveDeviceFormat& format, MessageQueue& queue, uint32_t target) = 0;
  virtual int Prepare(WaveHeader& header) = 0;
  virtual int Unprepare(WaveHeader& header) = 0;
  virtual int Add(WaveHeader& header) = 0;
  virtual int Start() = 0;
  virtual int Stop() = 0;
  // Returns every queued buffer as done (with what it holds), in order.
  virtual int Reset() = 0;
  virtual int Close() = 0;
  // Bytes recorded since the open.
  virtual int Position(uint64_t& bytes) = 0;
  virtual std::string ErrorText(int result) const = 0;
  virtual uintptr_t Handle() const = 0;
  // True once the running device has stopped by itself (unplugged, its sound server gone).
  virtual bool Lost() { return false; }
};

// A set of devices: their names (the position in a list is the device id) and the objects
// that open them.
class WaveSystem {
 public:
  virtual ~WaveSystem() = default;
  virtual std::vector<std::string> OutputDeviceNames() = 0;
  virtual std::vector<std::string> InputDeviceNames() = 0;
  virtual std::unique_ptr<WaveOut> MakeOutput() = 0;
  virtual std::unique_ptr<WaveIn> MakeInput() = 0;
};

// Preparing a header marks it usable (kWaveError without data); unpreparing is refused while
// it is queued. Every device of the model follows these two rules.
int PrepareWaveHeader(WaveHeader& header);
int UnprepareWaveHeader(WaveHeader& header);

// The text of a result the model itself defines (bad id, still playing ...).
std::string WaveResultText(int result);

}  // namespace ztlive
