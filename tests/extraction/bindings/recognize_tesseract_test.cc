// The recognition module, loaded as the helper loads it.
#include <gtest/gtest.h>

#include <random>

#include "extraction/helper/helper_bindings.h"
#include "extraction/helper/module.h"
#include "support/temp_dir.h"

namespace fileprobe {
namespace {

RecognizeFunction recognizerWithDeadline(int milliseconds) {
  RecognizeFunction recognize;
  auto* make =
      reinterpret_cast<RecognizerEntry*>(moduleSymbol(FILEPROBE_OCR_MODULE, kRecognizerEntry));
  if (make) make(milliseconds, recognize);
  return recognize;
}

Bitmap imageOf(const std::string& path) {
  auto* load =
      reinterpret_cast<LoadImageEntry*>(moduleSymbol(FILEPROBE_IMAGE_MODULE, kLoadImageEntry));
  std::optional<Bitmap> image;
  if (load) load(testing::readFile(path), image);
  return image.value_or(Bitmap{});
}

Bitmap noise(int width, int height) {
  Bitmap bitmap{width, height,
                std::vector<std::uint8_t>(static_cast<std::size_t>(width) *
                                          static_cast<std::size_t>(height))};
  std::mt19937 random(7);
  for (auto& pixel : bitmap.pixels) pixel = static_cast<std::uint8_t>(random());
  return bitmap;
}

TEST(RecognizeTesseractTest, RecognitionPastItsDeadlineFails) {
  const Bitmap page = imageOf(testing::fixture("scan_page.png"));
  ASSERT_GT(page.width, 0);
  const RecognizeFunction patient = recognizerWithDeadline(kRecognitionDeadlineMilliseconds);
  const RecognizeFunction hurried = recognizerWithDeadline(1);
  ASSERT_TRUE(patient && hurried);
  // The same page reads in time, and fails when its time is up.
  const std::optional<std::string> text = patient(page);
  ASSERT_TRUE(text);
  EXPECT_NE(text->find("Korean"), std::string::npos) << *text;
  EXPECT_EQ(hurried(page), std::nullopt);
  EXPECT_EQ(hurried(noise(2200, 1600)), std::nullopt);
}

}  // namespace
}  // namespace fileprobe
