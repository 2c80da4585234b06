// Reproducible test data for the archiver tests, and the writing, reading
// and damaging they share.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "archiver/archive.h"
#include "archiver/encoder.h"
#include "archiver/lzh.h"
#include "archiver/stream.h"
#include "tests/support/test_data.h"

namespace lzhtest {

// ソ, 表 and 能: double-byte characters whose second byte is that of "\".
inline const std::string kSo = "\x83\x5C", kHyo = "\x95\x5C", kNou = "\x94\x5C";

// The header checksum of a level-0/1 entry, set again after a test changed
// a header byte on purpose, so that only the change itself is wrong.
inline void FixChecksum(std::string& entry) {
  unsigned sum = 0;
  for (std::size_t i = 2; i < static_cast<unsigned char>(entry[0]) + 2u; ++i) sum += static_cast<unsigned char>(entry[i]);
  entry[1] = static_cast<char>(sum & 0xFF);
}

// Text-like data: words from a small vocabulary, lines of varying length.
inline std::string Text(std::size_t n, unsigned seed) {
  static const char* const words[] = {"backup", "file", "folder", "the", "of", "and", "保存", "フォルダ",
                                      "archive", "LZH", "ソース", "表示", "能力", "window", "0123", "data"};
  std::mt19937 rng(seed);
  std::string s;
  s.reserve(n + 32);
  while (s.size() < n) {
    s += words[rng() % 16];
    s += rng() % 9 == 0 ? "\r\n" : " ";
  }
  s.resize(n);
  return s;
}

// Short patterns repeated with small variations.
inline std::string Repetitive(std::size_t n) {
  std::string s;
  s.reserve(n + 64);
  for (unsigned i = 0; s.size() < n; ++i) {
    s += "abcabcabc";
    s += static_cast<char>('0' + i % 10);
    if (i % 7 == 0) s += std::string(i % 300, 'z');
  }
  s.resize(n);
  return s;
}

// A level-0 or level-1 entry as older archivers write it, with any name at
// all (a hostile archive's too).  `extensions` are level 1's extended
// headers, each "type + data".
inline std::string OldEntry(int level, const std::string& method, const std::string& name, const std::string& data,
                            std::size_t originalSize, std::uint16_t crc,
                            const std::vector<std::string>& extensions = {}) {
  std::string h = method, ext;
  for (std::size_t i = 0; i < extensions.size(); ++i) {
    ext += extensions[i];
    quztest::Put16(ext, i + 1 < extensions.size() ? static_cast<unsigned>(extensions[i + 1].size() + 2) : 0);
  }
  quztest::Put32(h, static_cast<std::uint32_t>(data.size() + ext.size()));
  quztest::Put32(h, static_cast<std::uint32_t>(originalSize));
  quztest::Put32(h, 0x5A2B6C3Du);  // MS-DOS date and time
  h += '\x20';
  h += static_cast<char>(level);
  h += static_cast<char>(name.size());
  h += name;
  quztest::Put16(h, crc);
  if (level == 1) {
    h += 'M';
    quztest::Put16(h, extensions.empty() ? 0 : static_cast<unsigned>(extensions[0].size() + 2));
  }
  std::string out(2, '\0');
  out[0] = static_cast<char>(h.size());
  out += h + ext + data;
  FixChecksum(out);
  return out;
}

// A level-0 entry stored (-lh0-).
inline std::string StoredLevel0(const std::string& name, const std::string& data) {
  return OldEntry(0, "-lh0-", name, data, data.size(), quz::lzh::Crc16(data.data(), data.size()));
}

// The data packed with method m, fed to the encoder `chunk` bytes at a time
// (all at once when 0).
inline std::string Pack(quz::lzh::Method m, const std::string& data, const quz::lzh::EncoderOptions& options = {},
                        std::size_t chunk = 0) {
  quz::lzh::MemorySink packed;
  quz::lzh::Encoder enc(m, packed, data.size() + 1000, options);
  if (chunk == 0) chunk = data.size() + 1;
  for (std::size_t i = 0; i < data.size(); i += chunk)
    EXPECT_EQ(enc.Write(data.data() + i, std::min(chunk, data.size() - i)), quz::lzh::EncodeStatus::kOk);
  EXPECT_EQ(enc.Finish(), quz::lzh::EncodeStatus::kOk);
  EXPECT_EQ(enc.packedSize(), packed.data().size());
  return packed.data();
}

// An entry as the writer is given one: a path and a time.
inline quz::lzh::Entry Named(const std::string& path) {
  quz::lzh::Entry e;
  e.path = path;
  e.unixTime = 1700000000;
  return e;
}

// Adds a file packed with method m (`used` receives the method written)
// and returns its data.
inline std::string AddFile(quz::lzh::ArchiveWriter& w, const std::string& path, const std::string& data,
                           quz::lzh::Method m = quz::lzh::Method::kLh5, quz::lzh::Method* used = nullptr) {
  quz::lzh::MemorySource src(data);
  EXPECT_EQ(w.AddFile(Named(path), src, data.size(), m, used), quz::lzh::Error::kOk) << path;
  return data;
}

struct ReadEntry {
  quz::lzh::Entry entry;
  quz::lzh::Error extract = quz::lzh::Error::kOk;
  std::string data;
};

// Every entry of an archive with its data; `error` receives what ended the
// reading (kOk at a clean end).
inline std::vector<ReadEntry> ReadAll(const std::string& archive, quz::lzh::Error* error = nullptr) {
  quz::lzh::MemorySource src(archive);
  quz::lzh::ArchiveReader reader(src);
  std::vector<ReadEntry> entries;
  for (int guard = 0; guard < 10000; ++guard) {
    ReadEntry r;
    bool atEnd = false;
    quz::lzh::Error e = reader.Next(r.entry, atEnd);
    if (e != quz::lzh::Error::kOk || atEnd) {
      if (error) *error = e;
      return entries;
    }
    quz::lzh::MemorySink sink;
    r.extract = reader.Extract(r.entry, sink);
    r.data = sink.data();
    entries.push_back(r);
  }
  ADD_FAILURE() << "reading does not end";
  return entries;
}

// A sound archive damaged in one to `maxEdits` places: bits flipped, bytes
// replaced (also by 0, 0xFF and the separator and dot of a path), cut
// short or cut out.  Headers are where sizes and names are: half the edits
// aim at the first 120 bytes.
inline std::string Mutate(std::string s, std::mt19937& rng, int maxEdits) {
  static const char special[] = {'\0', '\xFF', '.', '\\'};
  const int edits = 1 + static_cast<int>(rng() % static_cast<unsigned>(maxEdits));
  for (int k = 0; k < edits; ++k) {
    std::size_t at = rng() % 2 ? rng() % s.size() : rng() % std::min<std::size_t>(s.size(), 120);
    switch (rng() % 5) {
      case 0: s[at] = static_cast<char>(s[at] ^ (1 << (rng() % 8))); break;
      case 1: s[at] = static_cast<char>(rng()); break;
      case 2: s[at] = special[rng() % 4]; break;
      case 3: s.resize(at); break;
      case 4: s.erase(at, 1 + rng() % 16); break;
    }
    if (s.empty()) s.assign(1, '\x01');
  }
  return s;
}

}  // namespace lzhtest
