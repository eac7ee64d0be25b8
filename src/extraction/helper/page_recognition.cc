#include "extraction/helper/page_recognition.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>

namespace fileprobe {
namespace {

using Results = std::vector<std::optional<std::string>>;

struct RenderedPage {
  std::size_t slot = 0;  // index of its request and of its result
  Bitmap bitmap;
};

// Rendered pages waiting for a recognizer. Once closed, no page is added,
// and a thread that finds it empty is done.
struct PageQueue {
  std::mutex mutex;
  std::condition_variable changed;
  std::deque<RenderedPage> waiting;
  bool closed = false;
};

void put(PageQueue& queue, RenderedPage page) {
  {
    const std::lock_guard lock(queue.mutex);
    queue.waiting.push_back(std::move(page));
  }
  queue.changed.notify_one();
}

void close(PageQueue& queue) {
  {
    const std::lock_guard lock(queue.mutex);
    queue.closed = true;
  }
  queue.changed.notify_all();
}

// The next waiting page, or nothing once the queue is closed and empty.
std::optional<RenderedPage> take(PageQueue& queue) {
  std::unique_lock lock(queue.mutex);
  queue.changed.wait(lock, [&queue] { return queue.closed || !queue.waiting.empty(); });
  if (queue.waiting.empty()) return std::nullopt;
  RenderedPage page = std::move(queue.waiting.front());
  queue.waiting.pop_front();
  return page;
}

// A failure inside one page's recognition (an exception the engine lets
// out, memory exhausted) fails that page as a failed recognition does,
// never the pages other threads are reading.
std::optional<std::string> recognisedOrNothing(const RecognizeFunction& recognize,
                                               const Bitmap& bitmap) {
  try {
    return recognize(bitmap);
  } catch (...) {
    return std::nullopt;
  }
}

// Each slot is written by the one thread that took its page; the results
// are read only after every thread has been joined.
void recogniseUntilClosed(PageQueue& queue, const RecognizeFunction& recognize, Results& results) {
  while (std::optional<RenderedPage> page = take(queue)) {
    results[page->slot] = recognisedOrNothing(recognize, page->bitmap);
  }
}

// The threads beside the calling one. They are joined when this goes, also
// when rendering throws: the queue is closed first, so none waits forever.
class Helpers {
 public:
  explicit Helpers(PageQueue& queue) : queue_(queue) {}
  Helpers(const Helpers&) = delete;
  Helpers& operator=(const Helpers&) = delete;
  ~Helpers() { finish(); }

  // Starts up to `count` threads; a thread the system refuses leaves the
  // work to those that started.
  void start(int count, const RecognizerFactory& recognizers, Results& results) {
    for (int i = 0; i < count; ++i) {
      try {
        threads_.emplace_back([this, recognize = recognizers(), &results] {
          recogniseUntilClosed(queue_, recognize, results);
        });
      } catch (const std::system_error&) {
        return;
      }
    }
  }

  int count() const { return static_cast<int>(threads_.size()); }

  // No page is waiting for a recognizer.
  bool drained() {
    const std::lock_guard lock(queue_.mutex);
    return queue_.waiting.empty();
  }

  void finish() {
    close(queue_);
    for (std::thread& thread : threads_) {
      if (thread.joinable()) thread.join();
    }
  }

 private:
  PageQueue& queue_;
  std::vector<std::thread> threads_;
};

}  // namespace

Results recognisePages(const std::vector<RecognitionRequest>& requests,
                       const RenderFunction& render, const RecognizerFactory& recognizers,
                       int threads, ProcessorWatch& watch) {
  Results results(requests.size());
  PageQueue queue;
  Helpers helpers(queue);
  // The calling thread's own recognizer, made once; its engine starts only
  // when it reads a page.
  const RecognizeFunction own = recognizers();
  for (std::size_t slot = 0; slot < requests.size(); ++slot) {
    std::optional<Bitmap> bitmap = render(requests[slot].page, requests[slot].scale);
    if (!bitmap) continue;
    if (threads <= 1) {
      // Alone, the calling thread reads each page before rendering the
      // next, so that only one bitmap is held at a time.
      results[slot] = recognisedOrNothing(own, *bitmap);
      continue;
    }
    // The first recognizer beside rendering costs no processor time that
    // reading one page after the other would not; each further one starts
    // an engine of its own, so it is added only where it finds a processor.
    const int working = helpers.count() + 1;
    if (helpers.count() == 0) {
      helpers.start(1, recognizers, results);
      watch.begin();
    } else if (working < threads && watch.spareFor(working)) {
      helpers.start(1, recognizers, results);
    }
    put(queue, {slot, *std::move(bitmap)});
  }
  close(queue);
  // Rendering is done: the calling thread reads the pages still waiting
  // when a processor is free for it, or leaves them to the helpers.
  if (helpers.count() > 0 && !helpers.drained() && watch.spareFor(helpers.count() + 1)) {
    recogniseUntilClosed(queue, own, results);
  }
  helpers.finish();
  return results;
}

}  // namespace fileprobe
