#pragma once
// The floor a listing is measured against: opening a file and reading all of it (open,
// fstat, pread to the end, close), hot in the page cache. A reader that lists a small
// file in twice this time spends as long on its own work as on getting the bytes.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <filesystem>
#include <stdexcept>
#include <vector>

namespace vexmar::bench {

// Reads the whole file once into `buffer`; returns the bytes read.
inline std::size_t ReadWholeFile(const std::filesystem::path& file, std::vector<char>& buffer) {
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw std::runtime_error("cannot open " + file.string());
  struct stat st {};
  std::size_t done = 0;
  if (::fstat(fd, &st) == 0) {
    const auto size = static_cast<std::size_t>(st.st_size);
    if (buffer.size() < size) buffer.resize(size);
    while (done < size) {
      const ssize_t n = ::pread(fd, buffer.data() + done, size - done, static_cast<off_t>(done));
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
  }
  ::close(fd);
  return done;
}

// Seconds of the faster of `call` and the floor over `rounds` alternating rounds: the
// best of each, so that a slice lost to other work on the machine counts for neither.
struct FloorPair {
  double listing = 0;
  double floor = 0;
  double Ratio() const { return floor > 0 ? listing / floor : 0; }
};

template <typename Call>
FloorPair BestAgainstFloor(const std::filesystem::path& file, Call&& call, int rounds) {
  using Clock = std::chrono::steady_clock;
  std::vector<char> buffer;
  FloorPair best{1e30, 1e30};
  for (int i = 0; i < rounds; ++i) {
    auto start = Clock::now();
    ReadWholeFile(file, buffer);
    best.floor = std::min(best.floor, std::chrono::duration<double>(Clock::now() - start).count());
    start = Clock::now();
    call();
    best.listing =
        std::min(best.listing, std::chrono::duration<double>(Clock::now() - start).count());
  }
  return best;
}

// The floor alone, best of `rounds`.
inline double FloorSeconds(const std::filesystem::path& file, int rounds) {
  return BestAgainstFloor(file, [] {}, rounds).floor;
}

}  // namespace vexmar::bench
