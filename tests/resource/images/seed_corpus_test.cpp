// The seed corpora of the picture and animation fuzz targets.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "graphics/surface/hva_data.h"
#include "lib/bmp/bmp_builder.h"
#include "lib/hva/hv_writer.h"
#include "lib/wgx/sample_picture.h"
#include "lib/wgx/wgx_writer.h"
#include "resource/images/bmp_loader.h"
#include "resource/images/builtin_loaders.h"
#include "resource/images/hvd_animation.h"
#include "resource/images/image_loader_manager.h"
#include "resource/images/wgx_loader.h"
#include "support/fuzz_seeds.h"

namespace bw {
namespace {

using Bytes = std::vector<uint8_t>;
using Seeds = test::FuzzSeeds;

Seeds WgxSeeds() {
  Seeds seeds;
  for (int depth : {8, 24, 32}) {
    for (int form : {0, 1, 2}) {
      tools::WgxPicture p{depth, 12, 7, tools::MakeBackdrop(12, 7, depth + form),
                          {},    -3, 9, {{0xAB, 0xCD}}};
      if (depth == 8) {
        for (auto& px : p.pixels) px &= 0x1F;
        for (uint32_t i = 0; i < 32; ++i) p.palette.push_back(i * 0x070503u);
      }
      tools::WgxWriteOptions options;
      options.form = form;
      char name[32];
      std::snprintf(name, sizeof name, "d%d_f%d.wgx", depth, form);
      seeds[name] = tools::WriteWgx(p, options);
    }
  }
  return seeds;
}

Seeds BmpSeeds() {
  Seeds seeds;
  std::vector<std::vector<uint8_t>> rows(5, std::vector<uint8_t>(9));
  for (size_t y = 0; y < rows.size(); ++y)
    for (size_t x = 0; x < 9; ++x) rows[y][x] = static_cast<uint8_t>((x / 3 + y) % 4);
  for (uint16_t bits : {1, 4, 8}) {
    tools::BmpFields bmp{.width = 9,
                         .height = 5,
                         .bits = bits,
                         .palette = {},
                         .masks = {},
                         .data = tools::PackIndexRows(rows, bits),
                         .dataOffset = {}};
    for (uint32_t i = 0; i < (1u << bits) && i < 16; ++i) bmp.palette.push_back(i * 0x102030u);
    bmp.usedColours = static_cast<uint32_t>(bmp.palette.size());
    seeds["rgb" + std::to_string(bits) + ".bmp"] = tools::BuildBmp(bmp);
    if (bits != 1) {
      bmp.compression = bits == 8 ? kBiRle8 : kBiRle4;
      bmp.data = tools::EncodeRle(rows, bits == 4);
      seeds["rle" + std::to_string(bits) + ".bmp"] = tools::BuildBmp(bmp);
    }
  }
  for (uint16_t bits : {16, 24, 32}) {
    tools::BmpFields bmp{.width = 6,
                         .height = bits == 24 ? -4 : 4,
                         .bits = bits,
                         .palette = {},
                         .masks = {},
                         .data = Bytes(DibPitch(6, bits) * 4),
                         .dataOffset = {}};
    for (size_t i = 0; i < bmp.data.size(); ++i) bmp.data[i] = static_cast<uint8_t>(i * 37);
    seeds["rgb" + std::to_string(bits) + ".bmp"] = tools::BuildBmp(bmp);
    if (bits != 24) {
      bmp.compression = kBiBitfields;
      bmp.masks = bits == 16 ? std::array<uint32_t, 3>{0xF800, 0x07E0, 0x001F}
                             : std::array<uint32_t, 3>{0x3FF00000, 0x000FFC00, 0x000003FF};
      seeds["fields" + std::to_string(bits) + ".bmp"] = tools::BuildBmp(bmp);
    }
  }
  return seeds;
}

Seeds HvdSeeds() {
  tools::HvdFile file{{},
                      2,
                      {1, 2, 3, 4, 5, 6},
                      {{0, 0, 1, 0}, {-1, 0, 2, 4}, {3, 1, 3, 9}, {4, 1, 4, 2}},
                      {{"idle", 1, 2}, {"run", 3, 4}}};
  Seeds seeds{{"two_ranges.hvd", tools::WriteHvd(file)}};
  file.blob.clear();
  seeds["no_blob.hvd"] = tools::WriteHvd(file);
  return seeds;
}

Seeds HvaSeeds() {
  const tools::WgxPicture p{24, 4, 3, tools::MakeBackdrop(4, 3, 1), {}, 0, 0, {}};
  const tools::HvaFile file{64,
                            32,
                            2,
                            {0, 1},
                            {{0, 0, 0, 0}, {-1, 1, 0, 0}, {1, 0, 0, 0}},
                            {{tools::WriteWgx(p), 0, 0}, {tools::WriteWgx(p), -2, 0}}};
  return {{"two_pictures.hva", tools::WriteHva(file)}};
}

int Read(const std::string& kind, const Bytes& bytes) {
  DibImage dib;
  if (kind == "wgx") return WgxLoader().LoadToBuffers(bytes, dib);
  if (kind == "bmp") return BmpLoader::LoadToBuffers(bytes, dib);
  if (kind == "hvd") return HvdAnimation().Load(bytes);
  // HVA pictures decode through the loaders.
  ImageLoaderManager manager;
  RegisterBuiltinLoaders(manager);
  ScopedGlobal<ImageLoaderManager> publish(&manager);
  return HvaData().Load(bytes);
}

TEST(SeedCorpus, MatchesWhatTheWritersMakeAndPassesTheReadersChecks) {
  const std::pair<const char*, Seeds> sets[] = {
      {"wgx", WgxSeeds()}, {"bmp", BmpSeeds()}, {"hvd", HvdSeeds()}, {"hva", HvaSeeds()}};
  for (const auto& [name, seeds] : sets) {
    test::CheckOrWriteFuzzSeeds(name, seeds);
    for (const auto& [file, bytes] : seeds) {
      EXPECT_EQ(Read(name, bytes), 0) << name << "/" << file << " should pass the reader's checks";
    }
  }
}

}  // namespace
}  // namespace bw
