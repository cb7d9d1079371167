// The editor's rules that need no window: section names (unique ignoring case and blanks, numbered
// New / New 1 / ...), the extension proposals, and mask lists opened in and written back from the
// list dialog.
#include "batch/p_BatchList.h"
#include "testkit/TestKit.h"
#include "ui/EditorTestKit.h"
#include "ui/ExtensionProposals.h"
#include "ui/MaskListDialog.h"
#include "ui/SectionNaming.h"

#include <gtest/gtest.h>

namespace {

void AddSection(TpxBatchList& batch, const std::string& name)
{
    batch.AddEntry(std::make_unique<TBatchEntry>(name, "", "", "", "", false, false, true));
}

} // namespace

TEST(SectionNaming, a_name_exists_ignoring_case_and_surrounding_blanks_but_not_at_the_skipped_index)
{
    uitest::ensureApplication();
    TpxBatchList batch;
    EXPECT_FALSE(SectionNameExists(batch, "Docs", -1));
    // The parameter section's name is always taken: such a section could not be saved.
    EXPECT_TRUE(SectionNameExists(batch, " batchPARAMETERS ", -1));
    AddSection(batch, "Docs");
    AddSection(batch, "Mail");
    EXPECT_TRUE(SectionNameExists(batch, "docs", 1));
    EXPECT_TRUE(SectionNameExists(batch, "  DOCS  ", 1));
    EXPECT_FALSE(SectionNameExists(batch, "docs", 0));
    EXPECT_FALSE(SectionNameExists(batch, "Doc", 1));
    // Stored names are compared as stored: a stored name with blanks is not found by its trimmed form.
    AddSection(batch, " Music ");
    EXPECT_FALSE(SectionNameExists(batch, "Music", 0));
    // Letter case beyond ASCII.
    AddSection(batch, "Éléments");
    EXPECT_TRUE(SectionNameExists(batch, "éLÉMENTS", 0));
}

TEST(SectionNaming, new_names_are_numbered_after_the_base_never_after_a_numbered_name)
{
    uitest::ensureApplication();
    TpxBatchList batch;
    AddSection(batch, "New");
    EXPECT_EQ(NumberedSectionName(batch, "New", 1), "New 1");
    AddSection(batch, "New 1");
    EXPECT_EQ(NumberedSectionName(batch, "New", 2), "New 2");
    // The section being named does not count against itself.
    EXPECT_EQ(NumberedSectionName(batch, "New", 0), "New");
    AddSection(batch, "Docs");
    AddSection(batch, "Docs 1");
    EXPECT_EQ(NumberedSectionName(batch, "docs", 4), "docs 2");
    EXPECT_EQ(NumberedSectionName(batch, "Docs 1", 4), "Docs 1 1");
    EXPECT_EQ(NumberedSectionName(batch, "BatchParameters", 4), "BatchParameters 1");
}

TEST(ExtensionProposals, one_entry_per_extension_in_the_case_found_first_sorted_case_blind)
{
    uitest::ensureApplication();
    TExtensionList list;
    for (const char* name : {"b.DOC", "a.doc", "readme", "c.Txt", "d.abc", "e.TXT", "archive.tar.gz", "f."})
        list.AddFoundExtension(name);
    EXPECT_EQ(list.Items(), (std::vector<std::string>{"*", "*.", "*.abc", "*.DOC", "*.gz", "*.Txt"}));
    list.Clear();
    EXPECT_TRUE(list.Empty());
}

TEST(ExtensionProposals, scan_of_a_folder_flat_and_recursive)
{
    uitest::ensureApplication();
    testkit::TempDir dir;
    testkit::writeFile(dir / "one.DOC", "x");
    testkit::writeFile(dir / "two.doc", "x");
    testkit::writeFile(dir / "three", "x");
    testkit::writeFile(dir / ".hidden.secret", "x");
    testkit::writeFile(dir / "sub/deep.pdf", "x");
    TExtensionList flat;
    EXPECT_EQ(GatherExtensions(flat, dir.path().string(), false, {}), TExtensionScan::Complete);
    ASSERT_EQ(flat.Items().size(), 2u);
    EXPECT_EQ(flat.Items()[0], "*");
    // Within a folder names are visited in byte order: "one.DOC" comes before "two.doc".
    EXPECT_EQ(flat.Items()[1], "*.DOC");
    TExtensionList deep;
    GatherExtensions(deep, dir.path().string(), true, {});
    EXPECT_EQ(deep.Items(), (std::vector<std::string>{"*", "*.DOC", "*.pdf"}));
}

TEST(ExtensionProposals, an_empty_folder_name_scans_nothing_and_a_stop_keeps_what_was_found)
{
    uitest::ensureApplication();
    TExtensionList list;
    EXPECT_EQ(GatherExtensions(list, "", true, {}), TExtensionScan::NoFolder);
    EXPECT_EQ(GatherExtensions(list, "   ", true, {}), TExtensionScan::NoFolder);
    EXPECT_TRUE(list.Empty());

    testkit::TempDir dir;
    for (int i = 0; i < 1000; ++i)
        testkit::writeFile(dir / ("f" + std::to_string(i) + ".e" + std::to_string(i)), "");
    int asked = 0;
    const TExtensionScan result = GatherExtensions(list, dir.path().string(), false, [&] { return ++asked < 2; });
    EXPECT_EQ(result, TExtensionScan::Stopped);
    EXPECT_EQ(asked, 2);
    EXPECT_GE(list.Count(), 256);
    EXPECT_LT(list.Count(), 1000);
}

TEST(MaskLists, exclude_masks_are_completed_include_masks_kept_and_joined_with_semicolons)
{
    uitest::ensureApplication();
    EXPECT_EQ(MaskListEntries("tmp;*.bak", true), (QStringList{"*.tmp", "*.bak"}));
    EXPECT_EQ(MaskListEntries("doc", false), (QStringList{"doc"}));
    EXPECT_EQ(MaskListEntries(" *.a , *.b;;", false), (QStringList{"*.a", "*.b"}));
    EXPECT_TRUE(MaskListEntries("", true).isEmpty());
    EXPECT_EQ(MaskListText({"*.tmp", "*.bak"}), "*.tmp;*.bak");
    EXPECT_EQ(MaskListText({"*.tmp", "", "*.bak"}), "*.tmp;*.bak");
    EXPECT_EQ(MaskListText({}), "");
}
