// Draws quz's icons and writes them as .ico files (16x16 and 32x32, 32-bit
// with alpha) into the folder given as the only argument.  Run by the build.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

struct Rgba {
  double r = 0, g = 0, b = 0, a = 0;
};

// A picture is a colour at every point of the unit square (0..1, y down).
using Picture = std::function<Rgba(double x, double y)>;

const double kPi = 3.14159265358979323846;

Rgba Colour(int r, int g, int b) { return {r / 255.0, g / 255.0, b / 255.0, 1}; }

// The base of the program's pictures: a blue disc with a white ring and the
// tail of a "Q" (the ring of a saved copy going round).
Rgba Disc(double x, double y) {
  double dx = x - 0.5, dy = y - 0.5, d = std::sqrt(dx * dx + dy * dy);
  if (d > 0.48) return {};
  Rgba c = Colour(30, 90, 200);
  if (d > 0.43) c = Colour(15, 50, 130);
  if (d > 0.17 && d < 0.29) c = Colour(255, 255, 255);
  // The tail of the Q, towards the lower right.
  double along = (dx + dy) / std::sqrt(2.0), across = (dx - dy) / std::sqrt(2.0);
  if (along > 0.18 && along < 0.42 && std::fabs(across) < 0.055) c = Colour(255, 255, 255);
  return c;
}

// Animation frame n: the idle picture with an orange segment of the ring at
// the angle n * 45 degrees, so that eight frames turn once.
Picture Frame(int n) {
  return [n](double x, double y) {
    Rgba c = Disc(x, y);
    double dx = x - 0.5, dy = y - 0.5, d = std::sqrt(dx * dx + dy * dy);
    double angle = std::atan2(dy, dx) + kPi / 2;  // 0 at the top, clockwise
    double at = n * kPi / 4;
    double diff = std::remainder(angle - at, 2 * kPi);
    if (d > 0.15 && d < 0.31 && std::fabs(diff) < kPi / 6) c = Colour(255, 150, 20);
    return c;
  };
}

Rgba FolderShape(double x, double y, Rgba front) {
  Rgba back = Colour(200, 150, 40);
  if (x > 0.06 && x < 0.45 && y > 0.16 && y < 0.3) return back;  // the tab
  if (x > 0.06 && x < 0.94 && y > 0.26 && y < 0.86) {
    if (y < 0.36) return back;
    return front;
  }
  return {};
}

Rgba Folder(double x, double y) { return FolderShape(x, y, Colour(250, 205, 80)); }

Rgba ReservedFolder(double x, double y) {
  Rgba c = FolderShape(x, y, Colour(250, 205, 80));
  // A small blue arrow (saved) on the folder.
  if (y > 0.48 && y < 0.62 && x > 0.3 && x < 0.6) c = Colour(30, 90, 200);
  if (x >= 0.6 && x < 0.78 && std::fabs(y - 0.55) < (0.78 - x) * 0.9) c = Colour(30, 90, 200);
  return c;
}

Rgba Drive(double x, double y) {
  if (x < 0.06 || x > 0.94 || y < 0.32 || y > 0.72) return {};
  Rgba c = Colour(170, 170, 175);
  if (y > 0.62) c = Colour(110, 110, 115);
  if (x > 0.72 && x < 0.84 && y > 0.44 && y < 0.54) c = Colour(40, 210, 60);
  return c;
}

// Renders a picture at size n with 4 x 4 samples a pixel; rows top down.
std::vector<uint32_t> Render(const Picture& picture, int n) {
  std::vector<uint32_t> pixels(static_cast<size_t>(n) * n);
  for (int py = 0; py < n; ++py)
    for (int px = 0; px < n; ++px) {
      Rgba sum;
      for (int sy = 0; sy < 4; ++sy)
        for (int sx = 0; sx < 4; ++sx) {
          Rgba s = picture((px + (sx + 0.5) / 4) / n, (py + (sy + 0.5) / 4) / n);
          sum.r += s.r * s.a;
          sum.g += s.g * s.a;
          sum.b += s.b * s.a;
          sum.a += s.a;
        }
      uint32_t a = static_cast<uint32_t>(std::lround(sum.a / 16 * 255));
      auto channel = [&](double v) {
        return sum.a > 0 ? static_cast<uint32_t>(std::lround(v / sum.a * 255)) : 0u;
      };
      pixels[static_cast<size_t>(py) * n + px] =
          (a << 24) | (channel(sum.r) << 16) | (channel(sum.g) << 8) | channel(sum.b);
    }
  return pixels;
}

void Put16(std::string& out, unsigned v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

// One icon image: a bitmap header of double height, the BGRA rows bottom
// up, then the transparency mask (set where the picture is transparent).
std::string IconImage(const std::vector<uint32_t>& pixels, int n) {
  std::string out;
  Put32(out, 40);
  Put32(out, n);
  Put32(out, 2 * n);
  Put16(out, 1);
  Put16(out, 32);
  for (int i = 0; i < 6; ++i) Put32(out, 0);
  for (int y = n - 1; y >= 0; --y)
    for (int x = 0; x < n; ++x) Put32(out, pixels[static_cast<size_t>(y) * n + x]);
  int rowBytes = ((n + 31) / 32) * 4;
  for (int y = n - 1; y >= 0; --y) {
    std::string row(rowBytes, '\0');
    for (int x = 0; x < n; ++x)
      if ((pixels[static_cast<size_t>(y) * n + x] >> 24) < 128) row[x / 8] |= static_cast<char>(0x80 >> (x % 8));
    out += row;
  }
  return out;
}

bool WriteIcon(const std::string& path, const Picture& picture) {
  const int sizes[] = {16, 32};
  std::vector<std::string> images;
  for (int n : sizes) images.push_back(IconImage(Render(picture, n), n));
  std::string out;
  Put16(out, 0);
  Put16(out, 1);
  Put16(out, 2);
  uint32_t offset = 6 + 16 * 2;
  for (size_t i = 0; i < images.size(); ++i) {
    out += static_cast<char>(sizes[i]);
    out += static_cast<char>(sizes[i]);
    out += '\0';
    out += '\0';
    Put16(out, 1);
    Put16(out, 32);
    Put32(out, static_cast<uint32_t>(images[i].size()));
    Put32(out, offset);
    offset += static_cast<uint32_t>(images[i].size());
  }
  for (const auto& image : images) out += image;
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(out.data(), 1, out.size(), f) == out.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_icons FOLDER\n");
    return 2;
  }
  std::string folder = std::string(argv[1]) + "/";
  bool ok = WriteIcon(folder + "quz.ico", Disc) && WriteIcon(folder + "idle.ico", Disc) &&
            WriteIcon(folder + "folder.ico", Folder) && WriteIcon(folder + "reserved.ico", ReservedFolder) &&
            WriteIcon(folder + "drive.ico", Drive);
  for (int n = 0; n < 8 && ok; ++n) ok = WriteIcon(folder + "anim" + std::to_string(n) + ".ico", Frame(n));
  if (!ok) std::fprintf(stderr, "make_icons: cannot write into %s\n", argv[1]);
  return ok ? 0 : 1;
}
