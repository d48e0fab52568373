// The viewer's work on a folder as a command-line program, for timing it against other
// thumbnail makers: scan the folder into the catalogue, read every picture's size from
// its header, lay the column out, then make every thumbnail on the loader's threads
// and keep them, as the viewer's window keeps them.
//
//   thumbnails FOLDER [--column W] [--threads N]
//   thumbnails --make FOLDER [--count N] [--pad MIB]
//       writes N mixed screenshots (default 1000); with --pad, each file ends in MIB MiB
//       of zeros after the picture (written sparse), as a folder of padded files
//
// Prints one line of key=value pairs: files, thumbnails, failed, thumbnail_pixels, ms,
// peak_kib (the process's peak resident memory). Exit 0 on success, 1 otherwise.
#include <malloc.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/bench_args.h"
#include "imaging/codec.h"
#include "imaging/draw.h"
#include "platform/folder_listing.h"
#include "platform/text.h"
#include "viewer/shot_catalogue.h"
#include "viewer/thumbnail_layout.h"
#include "viewer/thumbnail_loader.h"

namespace {

using snapdeck::MakeRgb;
using snapdeck::Picture;

int Usage(const char* why) {
  std::fprintf(stderr,
               "thumbnails: %s\nusage: thumbnails FOLDER [--column W] [--threads N]\n"
               "       thumbnails --make FOLDER [--count N] [--pad MIB]\n",
               why);
  return 1;
}

using bench::ParseInt;

std::u16string FolderPath(std::string folder) {
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return snapdeck::Utf8ToUtf16(folder);
}

// A handheld screen: a title bar, a list of rows with icons and text-like marks in a
// few inks, a highlighted row and a soft background gradient; every picture differs.
Picture MixedScreen(int w, int h, std::uint32_t seed) {
  auto next = [&seed](int n) {
    seed = seed * 1103515245u + 12345u;
    return static_cast<int>((seed >> 9) % static_cast<std::uint32_t>(n));
  };
  Picture p = snapdeck::MakePicture(w, h, MakeRgb(250, 250, 250));
  for (int y = 0; y < h; ++y) {
    snapdeck::FillRect(p, 0, y, w, 1, MakeRgb(235 - 40 * y / h, 240 - 30 * y / h, 250));
  }
  const int title = 18 + next(10);
  snapdeck::FillRect(p, 0, 0, w, title, MakeRgb(20 + next(60), 40 + next(80), 120 + next(120)));
  const int rowHeight = 22 + next(12);
  const int highlighted = next(8);
  for (int row = 0, y = title + 4; y + rowHeight < h; ++row, y += rowHeight) {
    if (row == highlighted) {
      snapdeck::FillRect(p, 0, y, w, rowHeight, MakeRgb(60, 110, 220));
    }
    snapdeck::FillRect(p, 6, y + 3, rowHeight - 6, rowHeight - 6,
                       MakeRgb(next(256), next(256), next(256)));
    for (int x = rowHeight + 6; x < w - 12; x += 7) {
      if (next(6) == 0) {
        x += 5;  // a gap between words
        continue;
      }
      snapdeck::FillRect(p, x, y + 7, 5, 2 + next(8),
                         row == highlighted ? MakeRgb(255, 255, 255) : MakeRgb(30, 30, 40));
    }
  }
  return p;
}

// Sizes from 240x160 to 640x480; the ones wider than 330 are shrunk by the viewer.
int MakeFolder(const std::string& folder, int count, int padMib) {
  static const int kSizes[][2] = {{240, 160}, {320, 240}, {240, 320}, {360, 480},
                                  {480, 360}, {320, 480}, {640, 480}, {480, 320}};
  static const char* const kExtensions[] = {"bmp", "jpg", "png"};
  std::uint32_t seed = 20240601;
  for (int i = 0; i < count; ++i) {
    const int* size = kSizes[(i * 7 + i / 8) % 8];
    const int format = i % 3;
    const Picture picture = MixedScreen(size[0], size[1], seed + static_cast<std::uint32_t>(i));
    const std::vector<std::uint8_t> bytes = snapdeck::EncodeForFormat(picture, format);
    char name[64];
    std::snprintf(name, sizeof name, "/shot[%d].%s", i + 1, kExtensions[format]);
    const std::string path = folder + name;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    bool ok = f != nullptr && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (ok && padMib > 0) {
      ok = std::fseek(f, static_cast<long>(padMib) * 1024 * 1024 - 1, SEEK_CUR) == 0 &&
           std::fputc(0, f) == 0;
    }
    if (f != nullptr && std::fclose(f) != 0) return Usage("cannot write the folder");
    if (!ok || bytes.empty()) return Usage("cannot write the folder");
  }
  return 0;
}

long PeakKib() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

int Run(const std::string& folder, int column, int threads) {
  const auto t0 = std::chrono::steady_clock::now();
  std::unique_ptr<snapdeck::FolderReader> reader = snapdeck::MakeFolderReader();
  snapdeck::ViewerState state;
  state.folder = FolderPath(folder);
  snapdeck::ShotCatalogue catalogue;
  snapdeck::ScanFolder(catalogue, state, snapdeck::kSortByDate, 1, *reader);

  std::vector<snapdeck::RowPicture> pictures;
  pictures.reserve(catalogue.entries.size());
  for (const snapdeck::ShotEntry& entry : catalogue.entries) {
    pictures.push_back(snapdeck::ProbeShot(entry, *reader));
  }
  snapdeck::ThumbnailLoader loader(*reader, threads, snapdeck::kThumbnailDecodeBudget, nullptr);
  // Sizes beyond the first bytes of a file are probed on the workers, as in the window.
  std::vector<snapdeck::ThumbnailJob> probes;
  for (int i = 0; i < catalogue.count(); ++i) {
    const auto at = static_cast<std::size_t>(i);
    if (pictures[at].pending) {
      probes.push_back(snapdeck::JobForRow(i, catalogue.entries[at], pictures[at], column));
    }
  }
  loader.submit(std::move(probes));
  loader.waitIdle();
  for (const snapdeck::ThumbnailResult& r : loader.take()) {
    pictures[static_cast<std::size_t>(r.index)] = {r.ok, r.width, r.height, false, r.cost};
  }
  const snapdeck::ColumnLayout layout = snapdeck::LayOutColumn(pictures, column);

  std::vector<snapdeck::ThumbnailJob> jobs;
  for (int i = 0; i < catalogue.count(); ++i) {
    const auto at = static_cast<std::size_t>(i);
    if (!layout.rows[at].loaded) continue;
    jobs.push_back(snapdeck::JobForRow(i, catalogue.entries[at], pictures[at], column));
  }
  const std::size_t wanted = jobs.size();
  loader.submit(std::move(jobs));
  loader.waitIdle();
  std::vector<snapdeck::ThumbnailResult> results = loader.take();
  const auto t1 = std::chrono::steady_clock::now();

  std::uint64_t pixels = 0;
  int failed = catalogue.count() - static_cast<int>(wanted);
  for (const snapdeck::ThumbnailResult& r : results) {
    if (!r.ok) ++failed;
    pixels += static_cast<std::uint64_t>(r.thumbnail.width) * r.thumbnail.height;
  }
  const double ms = std::chrono::duration<double, std::milli>(t1 - t0).count();
  std::printf("files=%d thumbnails=%zu failed=%d thumbnail_pixels=%llu ms=%.1f peak_kib=%ld\n",
              catalogue.count(), results.size(), failed, static_cast<unsigned long long>(pixels),
              ms, PeakKib());
  return results.size() == wanted ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  // Large blocks come straight from the system and go back to it on free, as the Windows
  // heap the viewer runs on does with blocks of a megabyte; glibc's moving threshold
  // would otherwise leave freed decode buffers between the thumbnails kept.
  mallopt(M_MMAP_THRESHOLD, 256 * 1024);
  if (argc >= 3 && std::strcmp(argv[1], "--make") == 0) {
    int count = 1000;
    int padMib = 0;
    for (int i = 3; i < argc; i += 2) {
      if (i + 1 >= argc) return Usage("an option without its value");
      if (std::strcmp(argv[i], "--count") == 0) {
        if (!ParseInt(argv[i + 1], 1, 100000, count)) return Usage("--count needs 1 to 100000");
      } else if (std::strcmp(argv[i], "--pad") == 0) {
        if (!ParseInt(argv[i + 1], 1, 1024, padMib)) return Usage("--pad needs 1 to 1024");
      } else {
        return Usage("unexpected arguments");
      }
    }
    return MakeFolder(argv[2], count, padMib);
  }
  if (argc < 2 || argv[1][0] == '-') return Usage("no folder");
  int column = 330;
  int threads = snapdeck::ThumbnailLoader::DefaultThreads();
  for (int i = 2; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--column") == 0) {
      if (!ParseInt(argv[i + 1], 1, 8192, column)) return Usage("--column needs 1 to 8192");
    } else if (std::strcmp(argv[i], "--threads") == 0) {
      if (!ParseInt(argv[i + 1], 1, 64, threads)) return Usage("--threads needs 1 to 64");
    } else {
      return Usage("unknown option");
    }
  }
  if (argc % 2 != 0) return Usage("an option without its value");
  return Run(argv[1], column, threads);
}
