// The pure rules of the tree transfers: which names are safe, the hashes compared with the
// server's, when a file counts as changed, and what FEAT offers.
#include <gtest/gtest.h>

#include "RKCurl/CRTreeEntry.h"
#include "ftp/tree/FileHashes.h"
#include "ftp/tree/RemoteTree.h"
#include "ftp/tree/SafeNames.h"
#include "ftp/tree/TreeCompare.h"

namespace {

using namespace rkcurl::ftp;

TEST(TreeRules, SafeLocalNames) {
    const struct {
        std::string name;
        bool posix;
        bool windows;
    } cases[] = {
        {"a b#%.txt", true, true}, {"..x", true, true},
        {"", false, false},        {"../x", false, false},
        {"a/b", false, false},     {"a\\b", false, false},
        {"C:x", false, false},     {"a\rb", false, false},
        {"a\nb", false, false},    {std::string("a\0b", 3), false, false},
        {"con", true, false},      {"Com1.txt", true, false},
        {"lpt9", true, false},     {"com0", true, true},
        {"a?", true, false},       {"a|b", true, false},
        {"x.", true, false},       {"x ", true, false},
        {"\x01", true, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsSafeLocalName(c.name, false), c.posix) << c.name;
        EXPECT_EQ(IsSafeLocalName(c.name, true), c.windows) << c.name;
    }
    EXPECT_TRUE(IsSafeRemoteName("C:x"));
    EXPECT_FALSE(IsSafeRemoteName("a\r\nDELE b"));
}

TEST(TreeRules, HashesOfKnownTexts) {
    const struct {
        HashKind kind;
        std::string abc;  // of "abc"
    } cases[] = {
        {HashKind::Md5, "900150983cd24fb0d6963f7d28e17f72"},
        {HashKind::Sha1, "a9993e364706816aba3e25717850c26c9cd0d89d"},
        {HashKind::Sha256, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {HashKind::Crc32, "352441c2"},
    };
    for (const auto& c : cases) EXPECT_EQ(HashBytes("abc", c.kind), c.abc);
    // Two blocks of padding, and a text longer than one block.
    EXPECT_EQ(HashBytes(std::string(56, 'a'), HashKind::Sha256),
              "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a");
    EXPECT_EQ(HashBytes(std::string(1000, 'a'), HashKind::Md5), "cabe45dcc9ae5b66ba86600cca6b8ba8");
}

TEST(TreeRules, WhenAFileIsTransferred) {
    const TreeItem source{"f", ItemKind::File, true, 10, 1000, 1};
    const struct {
        const char* name;
        int mode;
        std::uint64_t size;
        std::int64_t time;
        std::int64_t precision;
        bool settable;
        int action;
    } cases[] = {
        {"same", RKTREE_SIZE_AND_TIME, 10, 1000, 1, true, RKTREE_UNCHANGED},
        {"other size", RKTREE_SIZE_AND_TIME, 11, 1000, 1, true, RKTREE_UPDATED},
        {"older", RKTREE_SIZE_AND_TIME, 10, 999, 1, true, RKTREE_UPDATED},
        {"newer", RKTREE_SIZE_AND_TIME, 10, 1001, 1, true, RKTREE_UPDATED},
        {"newer, times not settable", RKTREE_SIZE_AND_TIME, 10, 5000, 1, false, RKTREE_UNCHANGED},
        {"within a listed minute", RKTREE_SIZE_AND_TIME, 10, 960, 60, true, RKTREE_UNCHANGED},
        {"no time", RKTREE_SIZE_AND_TIME, 10, 0, 0, true, RKTREE_UNCHANGED},
        {"missing mode", RKTREE_MISSING, 11, 0, 1, true, RKTREE_UNCHANGED},
        {"always", RKTREE_ALWAYS, 10, 1000, 1, true, RKTREE_UPDATED},
        {"checksum, other size", RKTREE_CHECKSUM, 11, 1000, 1, true, RKTREE_UPDATED},
    };
    for (const auto& c : cases) {
        const TreeItem there{"f", ItemKind::File, true, c.size, c.time, c.precision};
        bool hashes = false;
        EXPECT_EQ(CompareFile(source, &there, c.mode, c.settable, hashes), c.action) << c.name;
    }
    bool hashes = false;
    EXPECT_EQ(CompareFile(source, nullptr, RKTREE_MISSING, true, hashes), RKTREE_COPIED);
    EXPECT_EQ(CompareFile(source, &source, RKTREE_CHECKSUM, true, hashes), RKTREE_UNCHANGED);
    EXPECT_TRUE(hashes);
}

TEST(TreeRules, FeaturesPickTheStrongestHash) {
    const ServerFeatures hash = ParseFeatures(
        "211-Features:\r\n MDTM\r\n HASH SHA-1;MD5*\r\n XSHA256\r\n MFMT\r\n211 End\r\n");
    EXPECT_EQ(hash.hashCommand, "XSHA256");
    EXPECT_TRUE(hash.mfmt && !hash.size && !hash.mlst);
    const ServerFeatures plain = ParseFeatures("211-Features:\r\n XCRC\r\n HASH MD5\r\n SIZE\r\n");
    EXPECT_EQ(plain.hashCommand + plain.hashAlgorithm, "HASHMD5");
    EXPECT_TRUE(plain.hashSelect && plain.size);
    EXPECT_FALSE(ParseFeatures("211 no features\r\n").hash);
}

}  // namespace
