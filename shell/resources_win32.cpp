#include "shell/resources_win32.h"

#include "imaging/palette.h"
#include <cstring>

#include "imaging/codec.h"
#include "platform/win32/handles_win32.h"
#include "resources/ids.h"
#include "resources/resource_ids.h"

namespace snapdeck::win32 {

namespace {

// Picture numbers map onto 1000..1099; beyond that start the emblems.
constexpr int kLastPictureNumber = SNAPDECK_RC_EMBLEM_BASE - SNAPDECK_RC_PICTURE_BASE - 1;

constexpr Rgb kIconBackground = palette::kHouse;

// Bytes of a resource of any type, or an empty span when it is missing.
struct ResourceBytes {
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
};

ResourceBytes FindBytes(int id, LPCWSTR type) {
  if (id <= 0 || id > 0xFFFF) return {};
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC info = FindResourceW(module, MAKEINTRESOURCEW(id), type);
  if (info == nullptr) return {};
  DWORD size = SizeofResource(module, info);
  HGLOBAL handle = LoadResource(module, info);
  if (handle == nullptr || size == 0) return {};
  const void* data = LockResource(handle);
  if (data == nullptr) return {};
  return {static_cast<const std::uint8_t*>(data), size};
}

bool DecodeInto(const std::vector<std::uint8_t>& bytes, Picture& out) {
  if (bytes.empty()) return false;
  DecodeResult r = DecodeBmp(bytes.data(), bytes.size());
  if (!r.ok) return false;
  out = std::move(r.picture);
  return true;
}

// Size of the first image listed in an icon group (GRPICONDIR), or false when the
// directory is missing or malformed.
bool IconGroupSize(int id, int& width, int& height) {
  ResourceBytes dir = FindBytes(id, RT_GROUP_ICON);
  constexpr std::size_t kHeader = 6, kEntry = 14;
  if (dir.size < kHeader + kEntry) return false;
  const std::uint8_t* d = dir.data;
  unsigned type = d[2] | (d[3] << 8);
  unsigned count = d[4] | (d[5] << 8);
  if (type != 1 || count == 0 || dir.size < kHeader + kEntry * count) return false;
  width = d[kHeader] == 0 ? 256 : d[kHeader];
  height = d[kHeader + 1] == 0 ? 256 : d[kHeader + 1];
  return true;
}

bool DrawIconPicture(int id, Picture& out) {
  int w = 0, h = 0;
  if (!IconGroupSize(id, w, h)) return false;
  UniqueIcon icon(static_cast<HICON>(
      LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_ICON, w, h, 0)));
  if (!icon) return false;

  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;  // top-down, the layout of Picture
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  UniqueGdi<HBITMAP> dib(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!dib || bits == nullptr) return false;
  UniqueDc dc(CreateCompatibleDC(nullptr));
  if (!dc) return false;

  const std::size_t count = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
  auto* px = static_cast<std::uint32_t*>(bits);
  for (std::size_t i = 0; i < count; ++i) px[i] = PixelOf(kIconBackground);

  BOOL drawn = FALSE;
  {
    const SelectedObject target(dc.get(), dib.get());
    drawn = DrawIconEx(dc.get(), 0, 0, icon.get(), w, h, 0, nullptr, DI_NORMAL);
    GdiFlush();
  }
  if (!drawn) return false;

  Picture p;
  p.width = w;
  p.height = h;
  p.pixels.assign(px, px + count);
  for (std::uint32_t& v : p.pixels) v |= 0xFF000000u;
  out = std::move(p);
  return true;
}

std::u16string TextOf(const std::vector<std::uint8_t>& bytes) {
  std::size_t units = bytes.size() / 2;  // an odd last byte is no code unit
  std::size_t i = 0;
  if (units > 0 && bytes[0] == 0xFF && bytes[1] == 0xFE) i = 1;
  std::u16string text;
  text.reserve(units - i);
  for (; i < units; ++i) {
    text.push_back(static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8)));
  }
  return text;
}

}  // namespace

std::vector<std::uint8_t> LoadEmbeddedBytes(int rcdataId) {
  ResourceBytes r = FindBytes(rcdataId, RT_RCDATA);
  return std::vector<std::uint8_t>(r.data, r.data + r.size);
}

bool LoadEmbeddedPicture(int number, Picture& out) {
  if (number == id::kPicQuestion2) number = id::kPicQuestion;  // one file serves both
  if (number < 0 || number > kLastPictureNumber) return false;
  const int rcId = SNAPDECK_RC_PICTURE_BASE + number;
  std::vector<std::uint8_t> bmp = LoadEmbeddedBytes(rcId);
  if (!bmp.empty()) return DecodeInto(bmp, out);
  return DrawIconPicture(rcId, out);
}

bool LoadUpdateEmblem(int orientation, Picture& out) {
  if (orientation < 0 || orientation >= SNAPDECK_RC_EMBLEM_COUNT) return false;
  return DecodeInto(LoadEmbeddedBytes(SNAPDECK_RC_EMBLEM_BASE + orientation), out);
}

UniqueIcon LoadEmbeddedIcon(int number) {
  if (number < 0 || number > kLastPictureNumber) return UniqueIcon();
  const int rcId = SNAPDECK_RC_PICTURE_BASE + number;
  if (FindBytes(rcId, RT_GROUP_ICON).size == 0) return UniqueIcon();
  return UniqueIcon(static_cast<HICON>(
      LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(rcId), IMAGE_ICON, 16, 16, 0)));
}

std::u16string LoadHelpText(int row) {
  if (row < 0 || row >= SNAPDECK_RC_HELP_COUNT) return {};
  return TextOf(LoadEmbeddedBytes(SNAPDECK_RC_HELP_BASE + row));
}

std::u16string LoadInfoText() { return TextOf(LoadEmbeddedBytes(SNAPDECK_RC_INFO)); }

}  // namespace snapdeck::win32
