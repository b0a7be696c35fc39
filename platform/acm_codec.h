// Inside the compression manager stand-in: one decoder object per open
// stream. Each decoder takes the source bytes it is given (keeping a partial
// codec block for later) and queues the PCM it makes; the stream hands the
// queue out as the destination allows.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/acm.h"

namespace plat::acm {

class Decoder {
 public:
  virtual ~Decoder() = default;
  // Takes source bytes and appends PCM to the queue; false on a codec error.
  virtual bool Decode(const std::uint8_t* source, std::uint32_t length, std::uint32_t* used) = 0;
  // An upper bound of the PCM bytes made from that many source bytes.
  virtual std::uint32_t OutputBound(std::uint32_t sourceBytes) const = 0;

  // Moves queued PCM into the destination: the bytes moved.
  std::uint32_t Deliver(std::uint8_t* destination, std::uint32_t length);

 protected:
  void Queue(const std::uint8_t* bytes, std::size_t length);
  std::uint8_t* QueueSpace(std::size_t length);

 private:
  std::vector<std::uint8_t> queue_;
  std::size_t queueRead_ = 0;
};

// The PCM format the manager makes from the source, or false when no decoder
// takes it. The source record must be followed by its extra bytes.
bool SuggestPcmFormat(const WaveFormatEx& source, WaveFormatEx* pcm);

std::unique_ptr<Decoder> MakePcmDecoder(const WaveFormatEx& source, const WaveFormatEx& destination);
std::unique_ptr<Decoder> MakeImaAdpcmDecoder(const WaveFormatEx& source);
std::unique_ptr<Decoder> MakeMsAdpcmDecoder(const WaveFormatEx& source);
std::unique_ptr<Decoder> MakeMp3Decoder(const WaveFormatEx& source);
std::unique_ptr<Decoder> MakeG711Decoder(const WaveFormatEx& source);

// Layout checks shared by suggestion and opening.
bool IsValidImaAdpcm(const WaveFormatEx& source);
bool IsValidMsAdpcm(const WaveFormatEx& source);
bool IsValidG711(const WaveFormatEx& source);

}  // namespace plat::acm
