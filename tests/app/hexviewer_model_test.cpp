#include "hexviewer_model.h"
#include "testfiles.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <ostream>

using namespace kiv;
using kiv::test::WriteFile;

TEST(HexModel, RowsShowOffsetBytesAndCharacters)
{
    QTemporaryDir tmp;
    QByteArray data;
    for (int i = 0; i < 20; ++i)
        data.append(char(0x41 + i));
    data[3] = '\0';
    data[4] = char(0xFF);
    ASSERT_TRUE(WriteFile(tmp.filePath("a.bin"), data));
    THexFileModel model;
    ASSERT_TRUE(model.Open(tmp.filePath("a.bin")));
    EXPECT_EQ(model.Size(), 20);
    EXPECT_EQ(model.RowCount(), 2);
    EXPECT_EQ(model.RowText(0),
              "00000000  41 42 43 00 FF 46 47 48  49 4A 4B 4C 4D 4E 4F 50  ABC..FGHIJKLMNOP");
    EXPECT_EQ(model.RowText(1), "00000010  51 52 53 54" + QString(39, ' ') + "QRST");
    EXPECT_EQ(model.DumpText(17, 19), "00000010     52 53" + QString(43, ' ') + "RS\n");
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(model.ByteAtColumn(model.HexColumn(i)), i);
        EXPECT_EQ(model.ByteAtColumn(model.HexColumn(i) + 1), i);
        EXPECT_EQ(model.ByteAtColumn(model.CharColumn(i)), i);
    }
    EXPECT_EQ(model.ByteAtColumn(0), -1);
    EXPECT_EQ(model.RowLength(), int(model.RowText(0).size()));
}

TEST(HexModel, ReadsNeverPassTheFile)
{
    QTemporaryDir tmp;
    const QString path = tmp.filePath("a.bin");
    ASSERT_TRUE(WriteFile(path, QByteArray(100, 'x')));
    THexFileModel model;
    ASSERT_TRUE(model.Open(path));
    EXPECT_EQ(model.Bytes(90, 50).size(), 10);
    EXPECT_TRUE(model.Bytes(100, 1).isEmpty());
    EXPECT_TRUE(model.Bytes(-5, 3).isEmpty());
    // The file shrinks behind the model's back: reads come back short, not out of bounds.
    ASSERT_TRUE(model.Reload());
    ASSERT_TRUE(WriteFile(path, QByteArray(3, 'w')));
    EXPECT_EQ(model.Bytes(0, 100), QByteArray(3, 'w'));
    EXPECT_EQ(model.RowText(5), "00000050");
}

TEST(HexModel, LargeFileOpensWithoutReadingIt)
{
    QTemporaryDir tmp;
    const QString path = tmp.filePath("big.bin");
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize((qint64(1) << 32) + 16));   // sparse: takes no disk space
        ASSERT_TRUE(file.seek((qint64(1) << 32) + 14));
        ASSERT_EQ(file.write("\x12\x34"), 2);
    }
    THexFileModel model;
    ASSERT_TRUE(model.Open(path));
    EXPECT_EQ(model.OffsetDigits(), 9);
    EXPECT_EQ(model.RowText(model.RowCount() - 1),
              "100000000  00 00 00 00 00 00 00 00  00 00 00 00 00 00 12 34  "
              "...............4");
}

TEST(HexModel, UnreadableFileLeavesTheModelAsItWas)
{
    QTemporaryDir tmp;
    ASSERT_TRUE(WriteFile(tmp.filePath("a.bin"), "abc"));
    THexFileModel model;
    ASSERT_TRUE(model.Open(tmp.filePath("a.bin")));
    QString error;
    EXPECT_FALSE(model.Open(tmp.filePath("none"), &error));
    EXPECT_FALSE(model.Open(tmp.path(), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(model.FileName(), tmp.filePath("a.bin"));
    EXPECT_EQ(model.Size(), 3);
}
