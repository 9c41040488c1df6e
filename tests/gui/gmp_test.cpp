
#include "graphics/device/gmp_layer_loader.h"
#include "gui/check_part.h"
#include "gui/gmp_part_loader.h"
#include "lib/gmp/gmp_writer.h"
#include "part_fixture.h"
#include "support/fuzz_seeds.h"

namespace bw::test {
namespace {

template <typename Set>
tools::GmpFaults Faults(Set set) {
  tools::GmpFaults faults;
  set(faults);
  return faults;
}

// One of every kind, two radio runs, and a layer-only picture for the layer loader.
GmpFile EveryKind(bool withLayerOnly) {
  GmpFile file;
  file.background = "BG.BMP";
  uint8_t kinds[] = {1, 2, 3, 4, 5, 6, 6, 7, 8, 9, 9};
  int16_t x = 0;
  for (uint8_t kind : kinds) {
    file.entries.push_back({"B.BMP", kind, x, 2, 200, kind != 2, 10, 6, GmpFullStateCode(kind)});
    x += 12;
  }
  if (withLayerOnly) file.entries.push_back({"B.BMP", kGmpLayerOnly, 1, 1, 255, true});
  return file;
}

class Gmp : public ScreenPartTest {
 protected:
  void SetUp() override {
    ScreenPartTest::SetUp();
    Write("CG/BG.BMP", Cells(20, 10, {0x555555}));
    Write("CG/B.BMP", Cells(40, 6, {0x555555}));
  }
  int LoadParts(const std::vector<uint8_t>& bytes) {
    Write("CG/SCREEN.GMP", bytes);
    return LoadFile("cg\\screen.gmp");
  }
  int LoadFile(const char* name, bool backgroundAllowed = true) {
    return partLoader_.Load(&layer_, &display_, &parts_, &tip_, name, 100, 0, false,
                            backgroundAllowed);
  }
  int LoadLayer(const std::vector<uint8_t>& bytes) {
    Write("CG/SCREEN.GMP", bytes);
    return layerLoader_.Load(&layer_, &display_, "cg\\screen.gmp", &layer_.GetList(), 5, false,
                             true);
  }
  void ExpectNothingLeft(const std::string& what) {
    EXPECT_TRUE(tip_.Controls().empty()) << what << ": registered";
    EXPECT_EQ(parts_.PartCount(), 0u) << what << ": listed";
    EXPECT_TRUE(layer_.GetList().IsEmpty()) << what << ": shown";
    EXPECT_EQ(Background(), nullptr) << what << ": background";
  }
  ImageSurface* Background() {
    ImageSurface* background = nullptr;
    int32_t x, y;
    int r, g, b;
    layer_.GetBackground(&background, &x, &y, &r, &g, &b);
    return background;
  }

  GmpPartLoader partLoader_;
  GmpLayerLoader layerLoader_;
};

TEST_F(Gmp, EveryKindLoadsThroughBothLoaders) {
  ASSERT_EQ(LoadParts(tools::WriteGmp(EveryKind(false))), kGmpLoaded);
  ASSERT_EQ(std::pair(partLoader_.Count(), tip_.Controls().size()), std::pair(11ul, 11ul));
  EXPECT_EQ(std::tuple(partLoader_.GetPart(10)->GetId(), partLoader_.GetPart(0)->GetWidth(),
                       partLoader_.GetPart(2)->GetWidth(), partLoader_.GetPart(1)->IsVisible(),
                       partLoader_.GetRecord(3).stateCode),
            std::tuple(110, 10, 40 / 3, false, 8))
      << "four cells of 40; kind 3 has no pressed cell";
  auto leader = [&](size_t i) {
    return dynamic_cast<CheckPart&>(*partLoader_.GetPart(i)).GetLeader();
  };
  EXPECT_EQ(leader(5), nullptr) << "the first of a radio run";
  EXPECT_EQ(leader(6), partLoader_.GetPart(5)) << "the previous part of its kind";
  EXPECT_EQ(leader(7), nullptr) << "kind 7 after 6 starts a run";
  EXPECT_EQ(leader(10), partLoader_.GetPart(9));
  EXPECT_EQ(Background(), partLoader_.Background());

  // Three radios in a row form one group: the third joins through the second.
  GmpFile radios;
  radios.background = "BG.BMP";
  for (int16_t x : {0, 20, 40}) radios.entries.push_back({"B.BMP", 6, x, 0, 255, true, 10, 6, 0});
  ASSERT_EQ(LoadParts(tools::WriteGmp(radios)), kGmpLoaded);
  EXPECT_EQ(dynamic_cast<CheckPart&>(*partLoader_.GetPart(0)).Members().size(), 2u);
  EXPECT_EQ(leader(2), partLoader_.GetPart(0));

  ASSERT_EQ(LoadLayer(tools::WriteGmp(EveryKind(true))), kGmpLoaded);
  ASSERT_EQ(layerLoader_.Count(), 12u);
  EXPECT_EQ(std::tuple(layerLoader_.GetRecord(11).width, layerLoader_.GetSprite(0)->GetAlpha(),
                       layerLoader_.GetSprite(1)->IsVisible()),
            std::tuple(40, 200, false))
      << "kind 0 keeps the picture's own size";
  EXPECT_NE(layer_.GetList().Find(layerLoader_.GetSprite(11)), nullptr);
}

TEST_F(Gmp, MalformedFilesAnswerTheirCodeAndLeaveNothing) {
  const GmpFile good = EveryKind(false);
  GmpFile noBackground = good;
  noBackground.background = "NONE.BMP";
  GmpFile missingPicture = good;
  missingPicture.entries[2].name = "NONE.BMP";
  auto faulty = [&](auto set) { return tools::WriteGmp(good, Faults(set)); };
  const struct {
    const char* what;
    std::vector<uint8_t> bytes;
    int code;
  } cases[] = {
      {"wrong magic", faulty([](auto& f) { f.wrongMagic = true; }), kGmpBadFile},
      {"cut record", faulty([](auto& f) { f.cut = tools::GmpCut::kRecord; }), kGmpBadFile},
      {"name past the end", faulty([](auto& f) { f.lastNameLength = 200; }), kGmpBadFile},
      {"unknown kind", faulty([](auto& f) { f.lastKind = 10; }), kGmpUnknownKind},
      {"kind 0", faulty([](auto& f) { f.lastAsLayerOnly = true; }), kGmpUnknownKind},
      {"no background", tools::WriteGmp(noBackground), kGmpNoBackground},
      {"kind 3 fails", tools::WriteGmp(missingPicture), kGmpPartFailedFirst + 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(LoadParts(c.bytes), c.code) << c.what;
    ExpectNothingLeft(c.what);
  }
  EXPECT_EQ(LoadFile("cg\\absent.gmp"), kGmpCannotRead);
  EXPECT_EQ(LoadFile(nullptr), kGmpBadArguments);
  Write("CG/SCREEN.GMP", tools::WriteGmp(good));
  EXPECT_EQ(LoadFile("cg\\screen.gmp", false), kGmpBackgroundRefused);
  ExpectNothingLeft("background refused");

  // A check part failing after buttons were made takes them back; codes by kind.
  for (uint8_t kind : {4, 5, 6, 7, 8, 9}) {
    GmpFile file;
    file.entries.push_back({"B.BMP", 1, 0, 0, 255, true, 10, 6, 4});
    file.entries.push_back({"NONE.BMP", kind, 0, 0, 255, true, 10, 6, 0});
    EXPECT_EQ(LoadParts(tools::WriteGmp(file)), GmpPartFailure(kind));
    ExpectNothingLeft("kind " + std::to_string(kind));
  }
  EXPECT_EQ(LoadLayer(tools::WriteGmp(missingPicture)), kGmpPartFailedFirst);
  ExpectNothingLeft("layer loader");
}

TEST(GmpFuzzSeeds, CorpusIsWhatTheWriterMakes) {
  const GmpFile every = EveryKind(true);
  auto faulty = [&](auto set) { return tools::WriteGmp(every, Faults(set)); };
  FuzzSeeds seeds{
      {"every_kind", tools::WriteGmp(every)},
      {"empty", tools::WriteGmp(GmpFile{})},
      {"wrong_magic", faulty([](auto& f) { f.wrongMagic = true; })},
      {"cut_record", faulty([](auto& f) { f.cut = tools::GmpCut::kRecord; })},
      {"count_beyond", faulty([](auto& f) { f.count = 40; })},
      {"name_past_end", faulty([](auto& f) { f.lastNameLength = 250; })},
      {"unknown_kind", faulty([](auto& f) { f.lastKind = 77; })},
  };
  CheckOrWriteFuzzSeeds("gmp", seeds);
}

}  // namespace
}  // namespace bw::test
