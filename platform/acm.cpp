// The compression manager's entry points: format suggestion, streams with a
// decoder each, conversion requests and size estimates. Output a request
// cannot take stays queued in the decoder for the next request.
#include "platform/acm.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "platform/acm_codec.h"

namespace plat {

struct AcmStream {
  std::unique_ptr<acm::Decoder> decoder;
  bool failed = false;
};

namespace {
// Streamed sounds are decoded on the sound-stream thread.
std::atomic<int> gOpenStreams{0};
}  // namespace

namespace acm {

std::uint32_t Decoder::Deliver(std::uint8_t* destination, std::uint32_t length) {
  const std::size_t bytes = std::min<std::size_t>(length, queue_.size() - queueRead_);
  if (bytes != 0) std::memcpy(destination, queue_.data() + queueRead_, bytes);
  queueRead_ += bytes;
  if (queueRead_ == queue_.size()) {
    queue_.clear();
    queueRead_ = 0;
  }
  return static_cast<std::uint32_t>(bytes);
}

void Decoder::Queue(const std::uint8_t* bytes, std::size_t length) {
  std::memcpy(QueueSpace(length), bytes, length);
}

std::uint8_t* Decoder::QueueSpace(std::size_t length) {
  const std::size_t start = queue_.size();
  queue_.resize(start + length);
  return queue_.data() + start;
}

bool SuggestPcmFormat(const WaveFormatEx& source, WaveFormatEx* pcm) {
  if (source.channels == 0 || source.channels > 8 || source.samplesPerSec == 0 || source.blockAlign == 0) {
    return false;
  }
  std::uint16_t bits = 16;
  switch (source.formatTag) {
    case WAVE_FORMAT_PCM:
      if (source.bitsPerSample == 0 || source.bitsPerSample % 8 != 0 || source.bitsPerSample > 32 ||
          source.blockAlign != source.channels * source.bitsPerSample / 8) {
        return false;
      }
      if (source.bitsPerSample == 8) bits = 8;
      break;
    case WAVE_FORMAT_IMA_ADPCM:
      if (!IsValidImaAdpcm(source)) return false;
      break;
    case WAVE_FORMAT_ADPCM:
      if (!IsValidMsAdpcm(source)) return false;
      break;
    case WAVE_FORMAT_MPEGLAYER3:
      if (source.channels > 2) return false;
      break;
    case WAVE_FORMAT_ALAW:
    case WAVE_FORMAT_MULAW:
      if (!IsValidG711(source)) return false;
      break;
    default:
      return false;
  }
  *pcm = WaveFormatEx{};
  pcm->formatTag = WAVE_FORMAT_PCM;
  pcm->channels = source.channels;
  pcm->samplesPerSec = source.samplesPerSec;
  pcm->bitsPerSample = bits;
  pcm->blockAlign = static_cast<std::uint16_t>(source.channels * bits / 8);
  pcm->avgBytesPerSec = pcm->blockAlign * source.samplesPerSec;
  return true;
}

}  // namespace acm

MMRESULT acmFormatSuggest(void*, const WaveFormatEx* source, WaveFormatEx* destination, std::uint32_t destinationSize,
                          std::uint32_t flags) {
  if (source == nullptr || destination == nullptr || destinationSize < 16) return MMSYSERR_INVALPARAM;
  if ((flags & ACM_FORMATSUGGESTF_WFORMATTAG) != 0 && destination->formatTag != WAVE_FORMAT_PCM) {
    return ACMERR_NOTPOSSIBLE;
  }
  WaveFormatEx pcm;
  if (!acm::SuggestPcmFormat(*source, &pcm)) return ACMERR_NOTPOSSIBLE;
  std::memcpy(destination, &pcm, std::min<std::size_t>(destinationSize, sizeof(pcm)));
  return MMSYSERR_NOERROR;
}

MMRESULT acmStreamOpen(AcmStreamHandle* stream, void*, const WaveFormatEx* source, const WaveFormatEx* destination,
                       void*, std::uintptr_t, std::uintptr_t, std::uint32_t) {
  if (stream == nullptr || source == nullptr || destination == nullptr) return MMSYSERR_INVALPARAM;
  *stream = nullptr;
  WaveFormatEx pcm;
  if (!acm::SuggestPcmFormat(*source, &pcm) || destination->formatTag != WAVE_FORMAT_PCM ||
      destination->channels != pcm.channels || destination->samplesPerSec != pcm.samplesPerSec ||
      destination->bitsPerSample != pcm.bitsPerSample || destination->blockAlign != pcm.blockAlign) {
    return ACMERR_NOTPOSSIBLE;
  }
  std::unique_ptr<acm::Decoder> decoder;
  switch (source->formatTag) {
    case WAVE_FORMAT_PCM:
      decoder = acm::MakePcmDecoder(*source, pcm);
      break;
    case WAVE_FORMAT_IMA_ADPCM:
      decoder = acm::MakeImaAdpcmDecoder(*source);
      break;
    case WAVE_FORMAT_ADPCM:
      decoder = acm::MakeMsAdpcmDecoder(*source);
      break;
    case WAVE_FORMAT_ALAW:
    case WAVE_FORMAT_MULAW:
      decoder = acm::MakeG711Decoder(*source);
      break;
    default:
      decoder = acm::MakeMp3Decoder(*source);
      break;
  }
  if (decoder == nullptr) return MMSYSERR_NOMEM;
  *stream = new AcmStream{std::move(decoder), false};
  ++gOpenStreams;
  return MMSYSERR_NOERROR;
}

MMRESULT acmStreamClose(AcmStreamHandle stream, std::uint32_t) {
  if (stream == nullptr) return MMSYSERR_INVALHANDLE;
  delete stream;
  --gOpenStreams;
  return MMSYSERR_NOERROR;
}

int GetOpenAcmStreamCount() { return gOpenStreams; }

MMRESULT acmMetrics(void*, std::uint32_t metric, void* value) {
  if (value == nullptr) return MMSYSERR_INVALPARAM;
  if (metric != ACM_METRIC_MAX_SIZE_FORMAT) return MMSYSERR_NOTSUPPORTED;
  // The largest record of our decoders: Microsoft ADPCM with its seven
  // standard coefficient pairs.
  const std::uint32_t largest = sizeof(MsAdpcmWaveFormat) + 7 * sizeof(AdpcmCoefficientPair);
  std::memcpy(value, &largest, sizeof(largest));
  return MMSYSERR_NOERROR;
}

MMRESULT acmStreamPrepareHeader(AcmStreamHandle stream, AcmStreamHeader* header, std::uint32_t) {
  if (stream == nullptr) return MMSYSERR_INVALHANDLE;
  if (header == nullptr || header->structSize < sizeof(AcmStreamHeader)) return MMSYSERR_INVALPARAM;
  header->status |= ACMSTREAMHEADER_STATUSF_PREPARED;
  return MMSYSERR_NOERROR;
}

MMRESULT acmStreamConvert(AcmStreamHandle stream, AcmStreamHeader* header, std::uint32_t) {
  if (stream == nullptr) return MMSYSERR_INVALHANDLE;
  if (header == nullptr || (header->source == nullptr && header->sourceLength != 0) ||
      (header->destination == nullptr && header->destinationLength != 0)) {
    return MMSYSERR_INVALPARAM;
  }
  if ((header->status & ACMSTREAMHEADER_STATUSF_PREPARED) == 0) return ACMERR_UNPREPARED;
  header->sourceLengthUsed = 0;
  header->destinationLengthUsed = 0;
  if (!stream->failed && header->sourceLength != 0 &&
      !stream->decoder->Decode(header->source, header->sourceLength, &header->sourceLengthUsed)) {
    stream->failed = true;
  }
  header->destinationLengthUsed = stream->decoder->Deliver(header->destination, header->destinationLength);
  header->status |= ACMSTREAMHEADER_STATUSF_DONE;
  return MMSYSERR_NOERROR;
}

MMRESULT acmStreamUnprepareHeader(AcmStreamHandle stream, AcmStreamHeader* header, std::uint32_t) {
  if (stream == nullptr) return MMSYSERR_INVALHANDLE;
  if (header == nullptr) return MMSYSERR_INVALPARAM;
  if ((header->status & ACMSTREAMHEADER_STATUSF_PREPARED) == 0) return ACMERR_UNPREPARED;
  header->status &= ~ACMSTREAMHEADER_STATUSF_PREPARED;
  return MMSYSERR_NOERROR;
}

MMRESULT acmStreamSize(AcmStreamHandle stream, std::uint32_t input, std::uint32_t* output, std::uint32_t flags) {
  if (stream == nullptr) return MMSYSERR_INVALHANDLE;
  if (output == nullptr) return MMSYSERR_INVALPARAM;
  if (flags != ACM_STREAMSIZEF_SOURCE) return MMSYSERR_INVALFLAG;
  *output = stream->decoder->OutputBound(input);
  return MMSYSERR_NOERROR;
}

}  // namespace plat
