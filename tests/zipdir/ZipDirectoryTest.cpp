#include "zipdir/ZipDirectory.h"
#include "zipcomp/ZipBuilder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <unistd.h>

namespace {

using zipdir::EndFault;
using zipdir::EndRecord;
using zipdir::HeaderFault;

EndFault Find(const std::string& bytes, EndRecord& end)
{
    zipdir::MemorySource source(bytes.data(), bytes.size());
    return zipdir::findEndRecord(source, end);
}

const std::vector<zipbuild::Entry> kTwo = {{"one.txt", "1"}, {"sub/two.txt", "22"}};

} // namespace

TEST(ZipDirectory, plain_archive_padding_and_trailing_bytes)
{
    const std::string plain = zipbuild::Build(kTwo);
    EndRecord end;
    ASSERT_EQ(Find(plain, end), EndFault::None);
    EXPECT_EQ(end.offset, plain.size() - 22);
    EXPECT_EQ(end.entries, 2u);
    EXPECT_EQ(end.trailing, 0u);
    EXPECT_FALSE(end.displaced());
    EXPECT_EQ(end.directoryStart, end.centralOffset);
    EXPECT_EQ(end.zip64, zipdir::Zip64State::Absent);

    zipbuild::Options options;
    options.trailing = std::string(100, '\0');
    ASSERT_EQ(Find(zipbuild::Build(kTwo, options), end), EndFault::None);
    EXPECT_EQ(end.offset, plain.size() - 22);
    EXPECT_EQ(end.trailing, 100u);
    EXPECT_TRUE(end.trailingAllZero);
    options.trailing = "garbage";
    ASSERT_EQ(Find(zipbuild::Build(kTwo, options), end), EndFault::None);
    EXPECT_EQ(end.trailing, 7u);
    EXPECT_FALSE(end.trailingAllZero);
}

TEST(ZipDirectory, data_in_front_with_and_without_offsets_counting_it)
{
    zipbuild::Options options;
    options.stub = std::string(3000, 'M');
    EndRecord end;
    ASSERT_EQ(Find(zipbuild::Build(kTwo, options), end), EndFault::None);
    EXPECT_FALSE(end.displaced());

    options.offsetsCountStub = false;
    ASSERT_EQ(Find(zipbuild::Build(kTwo, options), end), EndFault::None);
    EXPECT_TRUE(end.displaced());
    EXPECT_EQ(end.directoryStart, end.centralOffset + 3000);

    // The same with ZIP64 records: the ZIP64 end record is found right before its locator.
    options.zip64End = true;
    ASSERT_EQ(Find(zipbuild::Build(kTwo, options), end), EndFault::None);
    EXPECT_EQ(end.zip64, zipdir::Zip64State::Found);
    EXPECT_TRUE(end.zip64Moved);
    EXPECT_EQ(end.entries, 2u);
    EXPECT_EQ(end.directoryStart, end.centralOffset + 3000);
}

TEST(ZipDirectory, end_records_in_the_comment_are_comment_text)
{
    const std::string base = zipbuild::Build(kTwo);
    // Fields that run past the file; an empty directory at offset 0; a last 22 bytes that look like
    // an empty archive's whole end record.
    std::vector<std::string> fakes = {std::string("PK\5\6", 4) + std::string(18, '\xFF'),
                                      std::string("PK\5\6", 4) + std::string(18, '\0')};
    for (const std::string& fake : fakes) {
        zipbuild::Options options;
        options.comment = "note " + fake + " end";
        EndRecord end;
        ASSERT_EQ(Find(zipbuild::Build(kTwo, options), end), EndFault::None);
        EXPECT_EQ(end.offset, base.size() - 22);
        EXPECT_EQ(end.comment, options.comment);
        EXPECT_EQ(end.trailing, 0u);
    }
    // A fake that states an empty directory exactly where it stands and reaches to the end.
    zipbuild::Options options;
    options.comment = std::string(40, 'x');
    std::string bytes = zipbuild::Build(kTwo, options);
    const std::size_t at = bytes.size() - 40 + 5;
    std::string fake = "PK\5\6" + std::string(12, '\0');
    zipbuild::put32(fake, static_cast<std::uint32_t>(at));
    zipbuild::put16(fake, 13);
    bytes.replace(at, 22, fake);
    EndRecord end;
    ASSERT_EQ(Find(bytes, end), EndFault::None);
    EXPECT_EQ(end.offset, base.size() - 22);
    EXPECT_EQ(end.entries, 2u);

    // Without a real record behind it, such a record is the end: an empty archive after data.
    const std::string lone = std::string(100, 'x') + "PK\5\6" + std::string(18, '\0');
    ASSERT_EQ(Find(lone, end), EndFault::None);
    EXPECT_EQ(end.offset, 100u);
    EXPECT_TRUE(end.displaced());
}

TEST(ZipDirectory, damaged_ends)
{
    EndRecord end;
    EXPECT_EQ(Find("", end), EndFault::NoEndRecord);
    EXPECT_EQ(Find(std::string(21, '\0'), end), EndFault::NoEndRecord);
    // The signature further back than 64 KiB + 22 bytes is out of reach.
    EXPECT_EQ(Find(zipbuild::Build(kTwo) + std::string(70000, 'z'), end), EndFault::NoEndRecord);

    // A comment cut by the end of the file: what there is of it.
    std::string cut = zipbuild::Build(kTwo);
    cut[cut.size() - 2] = 50;
    cut += "short";
    ASSERT_EQ(Find(cut, end), EndFault::None);
    EXPECT_EQ(end.commentLength, 50u);
    EXPECT_EQ(end.comment, "short");
    EXPECT_EQ(end.dataEnd, cut.size());

    // A locator without a ZIP64 end record where it says or right before it.
    zipbuild::Options options;
    options.zip64End = true;
    std::string broken = zipbuild::Build(kTwo, options);
    broken[broken.size() - 22 - 20 - 56] = 'X';
    ASSERT_EQ(Find(broken, end), EndFault::None);
    EXPECT_EQ(end.zip64, zipdir::Zip64State::Broken);
}

TEST(ZipDirectory, file_source_reads_within_the_file_and_tells_errors)
{
    const std::string bytes = zipbuild::Build(kTwo);
    char path[] = "/tmp/vorland-zipdir-XXXXXX";
    const int fd = ::mkstemp(path);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    zipdir::FileSource source(fd, bytes.size());
    EndRecord end;
    ASSERT_EQ(zipdir::findEndRecord(source, end), EndFault::None);
    EXPECT_EQ(end.entries, 2u);
    char buffer[8];
    EXPECT_FALSE(source.read(bytes.size() - 4, buffer, 8));
    EXPECT_EQ(source.error(), 0);
    ::close(fd);
    ::unlink(path);
    // A file that claims more than it holds (it shrank after being measured).
    zipdir::FileSource gone(fd, bytes.size());
    EXPECT_EQ(zipdir::findEndRecord(gone, end), EndFault::ReadFailed);
    EXPECT_EQ(gone.error(), EBADF);
}

TEST(ZipDirectory, central_headers_with_zip64_values_and_their_faults)
{
    zipbuild::Entry big{"big.iso", "x"};
    big.zip64 = true;
    big.fakeSize = 5'000'000'000ull;
    zipbuild::Entry noted{"noted.txt", "n"};
    noted.comment = "a note";
    const std::string bytes = zipbuild::Build({noted, big});
    EndRecord end;
    ASSERT_EQ(Find(bytes, end), EndFault::None);
    const std::string directory = bytes.substr(end.directoryStart, end.centralSize);
    zipdir::CentralWalker walker(zipfmt::ByteView(directory.data(), directory.size()));
    zipdir::CentralHeader h;
    ASSERT_EQ(walker.next(h), HeaderFault::None);
    EXPECT_EQ(h.nameText(), "noted.txt");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(h.comment.data()), h.comment.size()), "a note");
    EXPECT_EQ(h.zip64OffsetAt, zipdir::CentralHeader::npos);
    ASSERT_EQ(walker.next(h), HeaderFault::None);
    EXPECT_EQ(h.size, 5'000'000'000ull);
    EXPECT_EQ(h.compressedSize, 5'000'000'000ull);
    EXPECT_EQ(h.localOffset, 30u + 9 + 1);
    EXPECT_EQ(h.zip64Missing, 0u);
    EXPECT_EQ(h.zip64OffsetAt, 46u + 7 + 4 + 16);
    EXPECT_EQ(walker.position(), directory.size());
    EXPECT_EQ(walker.next(h), HeaderFault::Short);

    // The same header with its ZIP64 field cut to one value: the others are missing.
    std::string record = directory.substr(46 + 9 + 6);
    zipfmt::putU16(reinterpret_cast<std::uint8_t*>(record.data()) + 46 + 7 + 2, 8);
    zipfmt::putU16(reinterpret_cast<std::uint8_t*>(record.data()) + zipfmt::central::kExtraLength, 12);
    ASSERT_EQ(zipdir::readCentralHeader(zipfmt::ByteView(record.data(), record.size()), h), HeaderFault::None);
    EXPECT_EQ(h.size, 5'000'000'000ull);
    EXPECT_EQ(h.zip64Missing, zipdir::kMissingCompressed | zipdir::kMissingOffset);
    EXPECT_EQ(h.compressedSize, zipfmt::kMax32);

    for (const auto& [cut, fault] :
         {std::pair{std::size_t{45}, HeaderFault::Short}, std::pair{std::size_t{50}, HeaderFault::NameShort},
          std::pair{std::size_t{46 + 9 + 2}, HeaderFault::CommentShort}}) {
        EXPECT_EQ(zipdir::readCentralHeader(zipfmt::ByteView(directory.data(), cut), h), fault) << cut;
    }
    std::string bad = directory;
    bad[0] = 'X';
    EXPECT_EQ(zipdir::readCentralHeader(zipfmt::ByteView(bad.data(), bad.size()), h), HeaderFault::Signature);
    EXPECT_EQ(zipdir::readCentralHeader(zipfmt::ByteView(record.data(), 46 + 7 + 3), h), HeaderFault::ExtraShort);
}
