// The Ogg Vorbis decoder on arbitrary bytes: opening, reading to the end and seeking must answer
// codes and short reads, never crash, and never deliver more than the stream announced.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/memory_stream.h"
#include "sound/ogg_vorbis_decoder.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// Reads at most `limit` bytes in odd-sized pieces; answers the bytes read.
uint64_t Drain(bw::SoundDecoderStream& d, uint64_t limit) {
  std::vector<uint8_t> buffer(4099);
  uint64_t total = 0;
  while (total < limit) {
    uint32_t n = d.Read(buffer.data(), static_cast<uint32_t>(buffer.size()));
    Check(n <= buffer.size());
    if (n == 0) break;
    total += n;
  }
  return total;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto* file = new bw::MemoryStream;
  if (size != 0) {
    void* block = bw::AllocGlobalMemory(size);
    std::memcpy(block, data, size);
    (void)file->Attach(block, static_cast<uint32_t>(size));
  }
  bw::OggVorbisDecoderFactory factory;
  int32_t error = -1;
  bw::DecoderRef decoder(factory.CreateDecoder(file, &error));
  if (!decoder) {
    Check(error != bw::kSllOk);
    Check(file->Tell() == 0);
  } else {
    const uint32_t announced = decoder->GetPcmBytes();
    // A damaged stream may hold more than its last page claims; a bounded read is enough.
    Drain(*decoder, uint64_t{announced} + (1u << 20));
    // A damaged stream may refuse a seek; the reads after it are bounded either way.
    (void)decoder->SeekMs(decoder->GetLengthMs() / 2);
    Drain(*decoder, 1u << 16);
    Check(decoder->SeekMs(decoder->GetLengthMs()) != bw::kSllOk);
    (void)decoder->SeekMs(0);
    Drain(*decoder, 1u << 16);
    decoder->GetPositionMs();
  }
  file->Release();
  return 0;
}
