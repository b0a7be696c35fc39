// Shared by the archive tests: random directory trees, archives of them made
// by the writer, and the trees flattened to member paths and bytes.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "core/archive_reader.h"
#include "core/archive_writer.h"

namespace qz::testing {

inline std::vector<std::uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

inline ArchiveSourceNode FileNode(const std::string& name, const std::string& bytes) {
  ArchiveSourceNode node;
  node.name = name;
  node.bytes = Bytes(bytes);
  return node;
}

inline ArchiveSourceNode FolderNode(const std::string& name, std::vector<ArchiveSourceNode> children) {
  ArchiveSourceNode node;
  node.name = name;
  node.isDirectory = true;
  node.children = std::move(children);
  return node;
}

// Contents that exercise the coding: noise, runs, repeated text, and bytes
// that are all one value (so the escape code is frequent in literals).
inline std::vector<std::uint8_t> RandomContents(std::mt19937& random) {
  const std::size_t size = random() % 3 == 0 ? random() % 64 : random() % 40000;
  std::vector<std::uint8_t> bytes(size);
  const int kind = static_cast<int>(random() % 4);
  const std::string words[] = {"tile", "enemy", "door", "\x82\xa0", "00", "map"};
  for (std::size_t i = 0; i < size; ++i) {
    switch (kind) {
      case 0: bytes[i] = static_cast<std::uint8_t>(random()); break;
      case 1: bytes[i] = static_cast<std::uint8_t>(i / (1 + random() % 50) % 7); break;
      case 2: {
        const std::string& word = words[random() % 6];
        for (std::size_t j = 0; j < word.size() && i < size; ++j, ++i) bytes[i] = static_cast<std::uint8_t>(word[j]);
        if (i < size) bytes[i] = static_cast<std::uint8_t>(random() % 256);
        break;
      }
      default: bytes[i] = static_cast<std::uint8_t>(random() % 2 ? 0xFF : random() % 256); break;
    }
  }
  return bytes;
}

inline void FillRandomFolder(std::mt19937& random, ArchiveSourceNode* folder, int depth) {
  const int count = static_cast<int>(random() % 6);
  std::set<std::string> used;
  for (int i = 0; i < count; ++i) {
    std::string name;
    const int length = 1 + static_cast<int>(random() % 12);
    const char alphabet[] = "abcdefXYZ019_-.";
    for (int j = 0; j < length; ++j) name += alphabet[random() % (sizeof alphabet - 1)];
    std::string upper = name;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (name == "." || name == ".." || !used.insert(upper).second) continue;
    ArchiveSourceNode child;
    child.name = name;
    child.lastWriteTime = 0x01D9000000000000ull + random();
    if (depth < 3 && random() % 3 == 0) {
      child.isDirectory = true;
      FillRandomFolder(random, &child, depth + 1);
    } else {
      child.bytes = RandomContents(random);
    }
    folder->children.push_back(std::move(child));
  }
}

inline ArchiveSourceNode RandomTree(std::uint32_t seed) {
  std::mt19937 random(seed);
  ArchiveSourceNode root;
  root.isDirectory = true;
  FillRandomFolder(random, &root, 0);
  return root;
}

// Every file of the tree by its path ("A\b.txt").
inline void Flatten(const ArchiveSourceNode& folder, const std::string& prefix,
                    std::map<std::string, std::vector<std::uint8_t>>* files) {
  for (const ArchiveSourceNode& child : folder.children) {
    const std::string path = prefix.empty() ? child.name : prefix + "\\" + child.name;
    if (child.isDirectory) Flatten(child, path, files);
    else (*files)[path] = child.bytes;
  }
}

inline std::vector<std::uint8_t> MakeImage(const ArchiveSourceNode& root, const ArchiveWriteOptions& options = {}) {
  std::vector<std::uint8_t> image;
  std::string error;
  EXPECT_TRUE(BuildArchiveImage(root, options, &image, nullptr, &error)) << error;
  return image;
}

inline std::string AsString(const std::vector<std::uint8_t>& bytes) { return {bytes.begin(), bytes.end()}; }

// Unscrambles an image, lets the test change it, and scrambles it again.
template <typename Change>
std::vector<std::uint8_t> Damage(std::vector<std::uint8_t> image, Change change) {
  std::uint8_t key[kArchiveKeySize];
  MakeArchiveKey(nullptr, key);
  ScrambleArchiveData(image.size(), image.data(), 0, key);
  change(image);
  ScrambleArchiveData(image.size(), image.data(), 0, key);
  return image;
}

}  // namespace qz::testing
