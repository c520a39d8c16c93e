// The tree transfers' pure rules: safe names, hashes, when a file is transferred, FEAT's offer.
#include <gtest/gtest.h>

#include "RKCurl/CRTreeEntry.h"
#include "ftp/tree/FileHashes.h"
#include "ftp/tree/RemoteTree.h"
#include "ftp/tree/SafeNames.h"
#include "ftp/tree/TreeCompare.h"

namespace {

using namespace rkcurl::ftp;

TEST(TreeRules, SafeLocalNames) {
    const std::string unsafe[] = {"", "../x", "a/b", "a\\b", "C:x", "a\rb", "a\nb", {"a\0b", 3}};
    for (const std::string& name : unsafe) {
        EXPECT_FALSE(IsSafeLocalName(name, false) || IsSafeLocalName(name, true)) << name;
    }
    for (const char* windowsOnly : {"con", "Com1.txt", "lpt9", "a?", "a|b", "x.", "x ", "\x01"}) {
        EXPECT_TRUE(IsSafeLocalName(windowsOnly, false) && !IsSafeLocalName(windowsOnly, true))
            << windowsOnly;
    }
    for (const char* safe : {"a b#%.txt", "..x", "com0"}) {
        EXPECT_TRUE(IsSafeLocalName(safe, false) && IsSafeLocalName(safe, true)) << safe;
    }
    EXPECT_TRUE(IsSafeRemoteName("C:x") && !IsSafeRemoteName("a\r\nDELE b"));
}

// "abc" in each kind; 56 bytes need a second block of padding, 1000 several blocks.
TEST(TreeRules, HashesOfKnownTexts) {
    using Kind = HashKind;
    const std::tuple<std::string, Kind, const char*> texts[] = {
        {"abc", Kind::Md5, "900150983cd24fb0d6963f7d28e17f72"},
        {"abc", Kind::Sha1, "a9993e364706816aba3e25717850c26c9cd0d89d"},
        {"abc", Kind::Sha256, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abc", Kind::Crc32, "352441c2"},
        {std::string(56, 'a'), Kind::Sha256,
         "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a"},
        {std::string(1000, 'a'), Kind::Md5, "cabe45dcc9ae5b66ba86600cca6b8ba8"},
    };
    for (const auto& [text, kind, hex] : texts) EXPECT_EQ(HashBytes(text, kind), hex) << hex;
}

// A source file f of 10 bytes at time 1000 (to the second) against one at the destination.
TEST(TreeRules, WhenAFileIsTransferred) {
    const TreeItem source{"f", ItemKind::File, true, 10, 1000, 1};
    const std::tuple<const char*, int, std::uint64_t, std::int64_t, std::int64_t, int> cases[] = {
        {"other size", RKTREE_SIZE_AND_TIME, 11, 1000, 1, RKTREE_UPDATED},
        {"older", RKTREE_SIZE_AND_TIME, 10, 999, 1, RKTREE_UPDATED},
        {"newer", RKTREE_SIZE_AND_TIME, 10, 1001, 1, RKTREE_UPDATED},
        {"within a listed minute", RKTREE_SIZE_AND_TIME, 10, 960, 60, RKTREE_UNCHANGED},
        {"no time", RKTREE_SIZE_AND_TIME, 10, 0, 0, RKTREE_UNCHANGED},
        {"missing mode", RKTREE_MISSING, 11, 0, 1, RKTREE_UNCHANGED},
        {"checksum, other size", RKTREE_CHECKSUM, 11, 1000, 1, RKTREE_UPDATED},
    };
    bool hashes = false;
    for (const auto& [name, mode, size, time, precision, action] : cases) {
        const TreeItem there{"f", ItemKind::File, true, size, time, precision};
        EXPECT_EQ(CompareFile(source, &there, mode, true, hashes), action) << name;
    }
    EXPECT_EQ(CompareFile(source, nullptr, RKTREE_MISSING, true, hashes), RKTREE_COPIED);
    EXPECT_EQ(CompareFile(source, &source, RKTREE_CHECKSUM, true, hashes), RKTREE_UNCHANGED);
    EXPECT_TRUE(hashes);
}

TEST(TreeRules, FeaturesPickTheStrongestHash) {
    const ServerFeatures x = ParseFeatures(
        "211-Features:\r\n MDTM\r\n HASH SHA-1;MD5*\r\n XSHA256\r\n MFMT\r\n211 End\r\n");
    EXPECT_EQ(std::tie(x.hashCommand, x.mfmt, x.size, x.mlst), std::make_tuple("XSHA256", 1, 0, 0));
    const ServerFeatures hash = ParseFeatures("211-Features:\r\n XCRC\r\n HASH MD5\r\n SIZE\r\n");
    EXPECT_EQ(std::tie(hash.hashCommand, hash.hashAlgorithm, hash.hashSelect, hash.size),
              std::make_tuple("HASH", "MD5", 1, 1));
    EXPECT_FALSE(ParseFeatures("211 no features\r\n").hash);
}

}  // namespace
