#include "app/CsvExport.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "GuiTestSupport.h"

using namespace app;

namespace {

const std::vector<std::string> kCaptions{"No", "Keywords", "Searches", "Google", "Yahoo", "Msn"};
const std::string kHeader = "\"No\",\"Keywords\",\"Searches\",\"Google\",\"Yahoo\",\"Msn\"\r\n";

size_t addRow(TKeywordRows& rows, std::string_view no, std::string_view keyword, std::string_view searches = {},
              std::string_view google = {}) {
    const size_t index = rows.append({no, keyword, searches, {}, {}, {}});
    rows.setCell(index, colGoogle, google);
    return index;
}

}  // namespace

TEST(CsvExport, HeaderAndRowsAreQuotedFieldsWithCrLf) {
    TKeywordRows rows;
    addRow(rows, "4", "golf clubs", "530", "1,230,000");
    addRow(rows, "5", "the \"best\" golf");
    EXPECT_EQ(buildCsv(kCaptions, rows), kHeader +
                                             "\"4\",\"golf clubs\",\"530\",\"1,230,000\",\"\",\"\"\r\n"
                                             "\"5\",\"the \"\"best\"\" golf\",\"\",\"\",\"\",\"\"\r\n");
}

TEST(CsvExport, AnEmptyListIsTheHeaderAlone) {
    TKeywordRows rows;
    EXPECT_EQ(buildCsv(kCaptions, rows), kHeader);
}

TEST(CsvExport, StreamedInPiecesALongListGivesTheSameBytes) {
    TKeywordRows rows;
    for (int i = 0; i < 30000; ++i) addRow(rows, std::to_string(i + 1), "keyword \"" + std::to_string(i) + "\"", "1,000");
    QTemporaryDir dir;
    const std::string path = testsupport::folderOf(dir) + "many.csv";
    writeCsv(path, kCaptions, rows);
    EXPECT_EQ(testsupport::readFile(path), buildCsv(kCaptions, rows));
}

TEST(CsvExport, CellsASpreadsheetWouldRunAsFormulasGetAnApostrophe) {
    for (const std::string prefix : {"=", "+", "-", "@", "\t", "\r"}) {
        TKeywordRows rows;
        addRow(rows, "1", prefix + "HYPERLINK(\"http://x.example\")", {}, prefix + "5");
        EXPECT_EQ(buildCsv(kCaptions, rows), kHeader + "\"1\",\"'" + prefix + "HYPERLINK(\"\"http://x.example\"\")\",\"\",\"'" +
                                                 prefix + "5\",\"\",\"\"\r\n")
            << "prefix " << static_cast<int>(prefix[0]);
    }
}

TEST(CsvExport, CellsThatOnlyHoldSuchCharactersLaterStayAsTheyAre) {
    TKeywordRows rows;
    addRow(rows, "1", "golf = clubs + more", "a-b", "1,200@");
    addRow(rows, "2", " =starts with a blank", "'quoted", "");
    EXPECT_EQ(buildCsv(kCaptions, rows), kHeader +
                                             "\"1\",\"golf = clubs + more\",\"a-b\",\"1,200@\",\"\",\"\"\r\n"
                                             "\"2\",\" =starts with a blank\",\"'quoted\",\"\",\"\",\"\"\r\n");
}
