// Pages recognised side by side: the same answer as one after the other,
// rendering on the calling thread only, one recognizer per thread, and a
// page that fails or runs out of time failing alone.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>

#include "extraction/helper/extraction_driver.h"
#include "extraction/wire/extraction_answer.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

namespace fileprobe {
namespace {

using std::chrono_literals::operator""s;

// A scanned document whose pages carry their index in the bitmap's width;
// what happens to each page is up to the test's recognizer.
struct ScannedPdf {
  explicit ScannedPdf(std::vector<std::string> pageLayers) : layers(std::move(pageLayers)) {}
  std::vector<std::string> layers;  // the short text layer of each page
  std::thread::id renderedOn;
  bool renderedElsewhere = false;

  PdfAccess access() {
    PdfAccess pdf;
    pdf.pageCount = [this] { return static_cast<int>(layers.size()); };
    pdf.pageText = [this](int page) { return layers[static_cast<std::size_t>(page)]; };
    pdf.mediaBox = [](int) { return PageBox{612, 792}; };
    pdf.renderPage = [this](int page, double) -> std::optional<Bitmap> {
      if (std::this_thread::get_id() != renderedOn) renderedElsewhere = true;
      Bitmap bitmap;
      bitmap.width = page;
      return bitmap;
    };
    renderedOn = std::this_thread::get_id();
    return pdf;
  }
};

// Records which threads used each recognizer it made, and how many pages
// are done; page recognition itself is `read`.
struct Recognizers {
  explicit Recognizers(std::function<std::optional<std::string>(int page)> reading = {})
      : read(std::move(reading)) {}
  std::function<std::optional<std::string>(int page)> read;
  std::mutex mutex;
  std::condition_variable pageDone;
  std::map<int, std::set<std::thread::id>> usersOf;  // recognizer -> threads
  int made = 0;
  int done = 0;

  RecognizerFactory factory() {
    return [this] {
      const std::lock_guard making(mutex);
      const int id = made++;
      return RecognizeFunction([this, id](const Bitmap& bitmap) {
        {
          const std::lock_guard recording(mutex);
          usersOf[id].insert(std::this_thread::get_id());
        }
        // Done also when `read` throws.
        struct Count {
          Recognizers& of;
          ~Count() {
            {
              const std::lock_guard counting(of.mutex);
              ++of.done;
            }
            of.pageDone.notify_all();
          }
        } count{*this};
        return read(bitmap.width);
      });
    };
  }

  // Waits until `count` pages are done; false after a few seconds.
  bool awaitDone(int count) {
    std::unique_lock lock(mutex);
    return pageDone.wait_for(lock, 10s, [&] { return done >= count; });
  }
};

constexpr int kThreeProcessors = 3;

TEST(RecognitionThreadsTest, OnePerPageAndProcessorAtMostThree) {
  struct Case {
    int pages, processors, threads;
  };
  for (const Case c : {Case{0, 2, 1}, Case{1, 8, 1}, Case{3, 1, 1}, Case{3, 2, 2}, Case{2, 8, 2},
                       Case{3, 64, 3}, Case{5, 64, 3}, Case{3, 0, 1}}) {
    EXPECT_EQ(recognitionThreads(c.pages, c.processors), c.threads)
        << c.pages << " pages on " << c.processors << " processors";
  }
}

// The answer side by side is byte for byte the one-after-the-other answer:
// page order, a failed page keeping its own text, every warning.
TEST(ParallelRecognitionTest, SameAnswerAsReadingOneAfterTheOther) {
  ScannedPdf scan({"page one", "", "page three", "", ""});
  const auto read = [](int page) -> std::optional<std::string> {
    if (page == 0) return std::nullopt;
    return "recognised " + std::to_string(page);
  };
  Recognizers parallel(read);
  EveryProcessorFree free;
  const ExtractionAnswer sideBySide =
      pdfRoadAnswer(scan.access(), parallel.factory(), kThreeProcessors, free);
  const RecognizeFunction alone = [&read](const Bitmap& b) { return read(b.width); };
  const ExtractionAnswer oneByOne = pdfRoadAnswer(scan.access(), alone);

  const std::string warnings = std::string(kWarningFirstThreePages) + " " +
                               std::string(kWarningSomePagesFailed) + " " +
                               std::string(kWarningOcrMayErr);
  EXPECT_EQ(oneByOne,
            (ExtractionAnswer{"page one\n\nrecognised 1\n\nrecognised 2", Method::ocr, warnings}));
  EXPECT_EQ(sideBySide, oneByOne);
  EXPECT_FALSE(scan.renderedElsewhere);
  // Up to three threads, each with a recognizer of its own.
  EXPECT_LE(parallel.made, 3);
  std::set<std::thread::id> threads;
  for (const auto& [recognizer, users] : parallel.usersOf) {
    EXPECT_EQ(users.size(), 1u) << "recognizer " << recognizer << " shared between threads";
    threads.insert(users.begin(), users.end());
  }
  EXPECT_EQ(threads.size(), parallel.usersOf.size());
}

// A page that runs out of time fails alone while the others are read
// beside it; a page whose recognizer throws fails alone too.
TEST(ParallelRecognitionTest, SlowOrThrowingPageFailsAlone) {
  ScannedPdf scan({"", "short", ""});
  Recognizers recognizers;
  bool othersFinishedMeanwhile = false;
  recognizers.read = [&](int page) -> std::optional<std::string> {
    if (page == 0) throw std::runtime_error("engine failure");
    if (page == 1) {
      // Past its deadline only once the two other pages are done.
      othersFinishedMeanwhile = recognizers.awaitDone(2);
      return std::nullopt;
    }
    return "last page";
  };
  EveryProcessorFree free;
  const ExtractionAnswer answer =
      pdfRoadAnswer(scan.access(), recognizers.factory(), kThreeProcessors, free);
  EXPECT_TRUE(othersFinishedMeanwhile);
  EXPECT_EQ(answer, (ExtractionAnswer{"short\n\nlast page", Method::ocr,
                                      std::string(kWarningSomePagesFailed) + " " +
                                          std::string(kWarningOcrMayErr)}));
}

// With one page to recognise, or one processor, no thread is started.
TEST(ParallelRecognitionTest, OnePageOrOneProcessorStaysOnTheCallingThread) {
  for (const auto& [layers, processors] :
       {std::pair{std::vector<std::string>{"", std::string(40, 'x')}, 8},
        std::pair{std::vector<std::string>{"", "", ""}, 1}}) {
    ScannedPdf scan(layers);
    Recognizers recognizers([](int) { return std::optional<std::string>("text"); });
    EveryProcessorFree free;
    pdfRoadAnswer(scan.access(), recognizers.factory(), processors, free);
    EXPECT_EQ(recognizers.made, 1);
    for (const auto& [recognizer, users] : recognizers.usersOf) {
      EXPECT_EQ(users, std::set{std::this_thread::get_id()});
    }
  }
}

// A busy machine: the pages are read by the one recognizer beside
// rendering, as they would be one after the other, with the same answer.
TEST(ParallelRecognitionTest, NoProcessorToSpareAddsNoRecognizer) {
  struct NoneFree final : ProcessorWatch {
    void begin() override {}
    bool spareFor(int) override { return false; }
  } busy;
  ScannedPdf scan({"", "", ""});
  Recognizers recognizers(
      [](int page) { return std::optional<std::string>(std::to_string(page)); });
  const ExtractionAnswer answer =
      pdfRoadAnswer(scan.access(), recognizers.factory(), kThreeProcessors, busy);
  EXPECT_EQ(answer.text, "0\n\n1\n\n2");
  ASSERT_EQ(recognizers.usersOf.size(), 1u);
  EXPECT_NE(*recognizers.usersOf.begin()->second.begin(), std::this_thread::get_id());
}

// The share of a processor each busy thread got: a process whose threads
// waited for processors has none to spare.
TEST(ProcessorShareTest, SpareOnlyWhenEveryBusyThreadRan) {
  EXPECT_TRUE(everyThreadRan(1.9, 2.0));
  EXPECT_TRUE(everyThreadRan(0.8, 1.0));
  EXPECT_FALSE(everyThreadRan(0.7, 1.0));
  EXPECT_FALSE(everyThreadRan(1.0, 2.0));  // two threads, half a processor each
  EXPECT_FALSE(everyThreadRan(0.0, 0.0));
  // A thread that slept through the window it called busy used none.
  ProcessorShare share;
  share.begin();
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  EXPECT_FALSE(share.spareFor(1));
}

// The built helper on a 3-page scan whose middle page cannot be recognised:
// read side by side (as many threads as processors, and three whatever
// the processors) and one after the other, byte for byte the same answer.
TEST(ParallelRecognitionTest, BuiltHelperAnswersAlikeSideBySideAndOneAfterTheOther) {
  const std::string scan = testing::readFile(testing::fixture("three_scans_one_failing.pdf"));
  std::map<std::string, std::string> answers;
  for (const std::string road : {"pdf-sequential", "pdf", "pdf-three-engines"}) {
    testing::ChildRequest request;
    request.program = FILEPROBE_PROBE;
    request.arguments = {road};
    request.input = scan;
    request.environment = std::vector<std::string>{"OMP_THREAD_LIMIT=1"};
    const testing::ChildOutcome outcome = testing::runChild(request);
    ASSERT_TRUE(outcome.exited && outcome.exitStatus == 0) << road;
    answers[road] = outcome.out;
  }
  const std::string& oneByOne = answers["pdf-sequential"];
  EXPECT_EQ(answers["pdf"], oneByOne);
  EXPECT_EQ(answers["pdf-three-engines"], oneByOne);
  const std::size_t first = oneByOne.find("Korean and English");
  const std::size_t third = oneByOne.find("apples");
  EXPECT_TRUE(first != std::string::npos && third != std::string::npos && first < third)
      << oneByOne;
  EXPECT_NE(oneByOne.find(kWarningSomePagesFailed), std::string::npos) << oneByOne;
}

}  // namespace
}  // namespace fileprobe
