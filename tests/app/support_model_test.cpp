#include "kivsupport_model.h"

#include <QRegularExpression>
#include <QUrlQuery>

#include <gtest/gtest.h>

using namespace kiv;

namespace {

struct SubjectCase {
    const char *version;
    bool immediate;
    const char *subject;
};

const SubjectCase kSubjects[] = {
    {"5.112", false, "KIV Support for 5.112"},
    {"5.112", true, "KIV Support for 5.112{?}"},
    {"QOR 5.112", false, "KIV Support for QOR5.112"},
    {" V 4.1  b\t7\r\n", true, "KIV Support for V4.1b7{?}"},
    {"", false, "KIV Support for "},
    {"", true, "KIV Support for {?}"},
    {"DLL Error", false, "KIV Support for DLLError"},
};

}  // namespace

TEST(SupportSubject, BlanksRemovedAndTrackingMark)
{
    for (const SubjectCase &c : kSubjects) {
        EXPECT_EQ(SupportSubject(QString::fromUtf8(c.version), c.immediate),
                  QString::fromUtf8(c.subject))
            << c.version << " / " << c.immediate;
    }
}

namespace {

struct UrlCase {
    const char *version;
    bool immediate;
    const char *encodedSubject;   // what follows "?subject=" in the URL
};

const UrlCase kUrls[] = {
    {"5.112", false, "KIV%20Support%20for%205.112"},
    {"5.112", true, "KIV%20Support%20for%205.112%7B%3F%7D"},
    // Characters that would end the subject, start a fragment or read as a space stay encoded.
    {"1.0 & cc=x@y.example", false, "KIV%20Support%20for%201.0%26cc%3Dx%40y.example"},
    {"A#B+C%20D", false, "KIV%20Support%20for%20A%23B%2BC%2520D"},
    {"v~1_2-3.4", false, "KIV%20Support%20for%20v~1_2-3.4"},
    // Non-ASCII text is sent as UTF-8.
    {"V5\xC3\xBC", true, "KIV%20Support%20for%20V5%C3%BC%7B%3F%7D"},
};

}  // namespace

TEST(SupportMailUrl, AddressAndEncodedSubject)
{
    for (const UrlCase &c : kUrls) {
        const QString version = QString::fromUtf8(c.version);
        const QUrl url = SupportMailUrl(version, c.immediate);
        ASSERT_TRUE(url.isValid()) << c.version << ": " << url.errorString().toStdString();
        EXPECT_EQ(url.toEncoded(),
                  "mailto:" + SupportAddress().toLatin1() + "?subject=" + c.encodedSubject)
            << c.version;
        EXPECT_EQ(url.scheme(), "mailto");
        EXPECT_EQ(url.path(), SupportAddress());
        EXPECT_FALSE(url.hasFragment()) << c.version;

        // A mail program reading the query gets back exactly one item: the subject.
        const QUrlQuery query(url);
        const auto items = query.queryItems(QUrl::FullyDecoded);
        ASSERT_EQ(items.size(), 1) << c.version;
        EXPECT_EQ(items[0].first, "subject");
        EXPECT_EQ(items[0].second, SupportSubject(version, c.immediate)) << c.version;
    }
}

TEST(SupportHints, NameTheAddressAndWhatToInclude)
{
    const QString hints = SupportHints();
    EXPECT_TRUE(hints.contains(SupportAddress()));
    for (const char *topic : {"version", "device", "minimal source", "exact message", "steps"})
        EXPECT_TRUE(hints.contains(QLatin1String(topic), Qt::CaseInsensitive)) << topic;
}

TEST(ProgramVersion, IsADottedNumber)
{
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d+(\\.\\d+)+$"))
                    .match(ProgramVersion())
                    .hasMatch())
        << ProgramVersion().toStdString();
}
