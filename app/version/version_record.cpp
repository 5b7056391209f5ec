// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/version/version_record.h"

#include <cctype>
#include <cstdio>

namespace tav {

namespace {

struct Node {
  std::string key;
  bool text = false;
  std::vector<uint8_t> value;  // text values as UTF-16LE with their zero
  std::vector<Node> children;
};

void Put16(std::vector<uint8_t>& out, uint32_t word) {
  out.push_back(uint8_t(word));
  out.push_back(uint8_t(word >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t word) {
  Put16(out, word & 0xFFFF);
  Put16(out, word >> 16);
}

void Align(std::vector<uint8_t>& out) {
  while (out.size() % 4) out.push_back(0);
}

std::vector<uint8_t> Utf16(const std::string& ascii) {
  std::vector<uint8_t> out;
  for (unsigned char c : ascii) Put16(out, c);
  Put16(out, 0);
  return out;
}

void Write(const Node& node, std::vector<uint8_t>& out) {
  const size_t start = out.size();
  Put16(out, 0);  // length, patched below
  Put16(out, uint32_t(node.text ? node.value.size() / 2 : node.value.size()));
  Put16(out, node.text ? 1 : 0);
  const std::vector<uint8_t> key = Utf16(node.key);
  out.insert(out.end(), key.begin(), key.end());
  Align(out);
  out.insert(out.end(), node.value.begin(), node.value.end());
  for (const Node& child : node.children) {
    Align(out);
    Write(child, out);
  }
  const size_t length = out.size() - start;
  out[start] = uint8_t(length);
  out[start + 1] = uint8_t(length >> 8);
}

uint16_t Get16(const std::vector<uint8_t>& in, size_t at) { return uint16_t(in[at] | in[at + 1] << 8); }

void AppendUtf8(std::string& out, uint32_t c) {
  if (c < 0x80) {
    out += char(c);
  } else if (c < 0x800) {
    out += char(0xC0 | c >> 6);
    out += char(0x80 | (c & 0x3F));
  } else {
    out += char(0xE0 | c >> 12);
    out += char(0x80 | (c >> 6 & 0x3F));
    out += char(0x80 | (c & 0x3F));
  }
}

bool SameKey(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

// One block inside [begin, end): its key, where its value and children lie.
struct Block {
  std::string key;
  bool text = false;
  size_t value = 0, valueBytes = 0, children = 0, end = 0;
};

bool ReadBlock(const std::vector<uint8_t>& in, size_t begin, size_t limit, Block& block) {
  if (begin + 6 > limit) return false;
  const size_t length = Get16(in, begin);
  if (length < 6 || begin + length > limit) return false;
  block.end = begin + length;
  block.text = Get16(in, begin + 4) == 1;
  size_t at = begin + 6;
  block.key.clear();
  for (;; at += 2) {
    if (at + 2 > block.end) return false;
    const uint16_t c = Get16(in, at);
    if (c == 0) break;
    AppendUtf8(block.key, c);
  }
  at = (at + 2 + 3) & ~size_t(3);
  const size_t valueLength = Get16(in, begin + 2);
  block.value = at;
  block.valueBytes = block.text ? valueLength * 2 : valueLength;
  if (block.value + block.valueBytes > block.end) return false;
  block.children = (block.value + block.valueBytes + 3) & ~size_t(3);
  return true;
}

}  // namespace

std::vector<uint8_t> BuildVersionRecord(const VersionRecordValues& values) {
  Node root{"VS_VERSION_INFO", false, {}, {}};
  const uint32_t high = uint32_t(values.numbers[0]) << 16 | values.numbers[1];
  const uint32_t low = uint32_t(values.numbers[2]) << 16 | values.numbers[3];
  for (uint32_t word : {0xFEEF04BDu, 0x00010000u, high, low, high, low, 0x3Fu, 0u, 0x4u /* VOS__WINDOWS32 */,
                        0x1u /* VFT_APP */, 0u, 0u, 0u}) {
    Put32(root.value, word);
  }
  char block[16];
  std::snprintf(block, sizeof block, "%04x%04x", values.language, values.codePage);
  Node table{block, true, {}, {}};
  for (const auto& [key, text] : values.strings) table.children.push_back(Node{key, true, Utf16(text), {}});
  root.children.push_back(Node{"StringFileInfo", true, {}, {table}});
  Node translation{"Translation", false, {}, {}};
  Put16(translation.value, values.language);
  Put16(translation.value, values.codePage);
  root.children.push_back(Node{"VarFileInfo", true, {}, {translation}});
  std::vector<uint8_t> out;
  Write(root, out);
  return out;
}

bool QueryVersionRecord(const std::vector<uint8_t>& record, const std::string& path, std::string& value) {
  Block block;
  if (!ReadBlock(record, 0, record.size(), block)) return false;
  size_t from = 0;
  while (from < path.size()) {
    size_t to = path.find('\\', from);
    if (to == std::string::npos) to = path.size();
    const std::string part = path.substr(from, to - from);
    from = to + 1;
    if (part.empty()) continue;
    Block child;
    bool found = false;
    for (size_t at = block.children; at < block.end; at = (child.end + 3) & ~size_t(3)) {
      if (!ReadBlock(record, at, block.end, child)) return false;
      if (SameKey(child.key, part)) {
        found = true;
        break;
      }
    }
    if (!found) return false;
    block = child;
  }
  value.clear();
  if (!block.text) {
    value.assign(record.begin() + long(block.value), record.begin() + long(block.value + block.valueBytes));
    return true;
  }
  for (size_t at = block.value; at + 2 <= block.value + block.valueBytes; at += 2) {
    const uint16_t c = Get16(record, at);
    if (c == 0) break;
    AppendUtf8(value, c);
  }
  return true;
}

}  // namespace tav
