// The "bubble" folder beside the executables: the conversation view's style
// sheet and the pictures it draws the bubbles with.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

#include <cstdlib>

namespace {

// Border sizes of the two frames; the print renderer relies on them.
struct FrameSet
{
    const char *name;
    int top, right, bottom, left;
};
const FrameSet kSets[] = {{"bb1", 23, 44, 27, 44}, {"bb2", 22, 48, 28, 40}};

const char *const kPieces[] = {"top_left", "top_middle", "top_right", "middle_left", "middle_middle", "middle_right",
    "bottom_left", "bottom_middle", "bottom_right"};

QDir bubbleDir()
{
    return QDir(QCoreApplication::applicationDirPath() + QStringLiteral("/bubble"));
}

QString pieceName(const char *set, int piece)
{
    return QStringLiteral("%1_0%2.png").arg(QLatin1String(set)).arg(piece);
}

QImage piece(const char *set, int piece)
{
    return QImage(bubbleDir().filePath(pieceName(set, piece))).convertToFormat(QImage::Format_ARGB32);
}

bool sameColour(QRgb a, QRgb b, int tolerance)
{
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance
        && std::abs(qBlue(a) - qBlue(b)) <= tolerance && std::abs(qAlpha(a) - qAlpha(b)) <= tolerance;
}

// Style sheet as a map from each simple selector (as written, e.g. ".bb1 .top_left")
// to its declarations, merged over all the rules that name it.
using Rules = QMap<QString, QMap<QString, QString>>;

QString readStyle()
{
    QFile file(bubbleDir().filePath(QStringLiteral("style.css")));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QString css = QString::fromUtf8(file.readAll());
    css.remove(QRegularExpression(QStringLiteral("/\\*.*?\\*/"), QRegularExpression::DotMatchesEverythingOption));
    return css;
}

Rules parseRules(const QString &css)
{
    Rules rules;
    static const QRegularExpression rule(QStringLiteral("([^{}]+)\\{([^{}]*)\\}"));
    for (auto it = rule.globalMatch(css); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        for (QString selector : m.captured(1).split(QLatin1Char(','))) {
            selector = selector.simplified();
            for (const QString &declaration : m.captured(2).split(QLatin1Char(';'))) {
                const qsizetype colon = declaration.indexOf(QLatin1Char(':'));
                if (colon > 0)
                    rules[selector][declaration.left(colon).trimmed()] = declaration.mid(colon + 1).trimmed();
            }
        }
    }
    return rules;
}

} // namespace

class TestBubbleFolder : public QObject
{
    Q_OBJECT

private slots:
    void folderHoldsEveryFile();
    void piecesHaveTheBorderSizes();
    void stripsStretchCleanly();
    void piecesJoinSeamlessly();
    void tailIsOnTheOuterSide();
    void attachmentSymbols();
    void styleDefinesEveryClassOfThePages();
    void styleReferencesOnlyPicturesOfTheFolder();
    void styleFrameMatchesThePictures();
};

void TestBubbleFolder::folderHoldsEveryFile()
{
    QStringList expected {QStringLiteral("style.css"), QStringLiteral("bb-audio.png"), QStringLiteral("bb-video.png")};
    for (const FrameSet &set : kSets)
        for (int i = 1; i <= 9; ++i)
            expected << pieceName(set.name, i);
    for (const QString &name : expected)
        QVERIFY2(QFileInfo(bubbleDir().filePath(name)).size() > 0, qPrintable(name));
}

// Corners keep the border sizes; the stretched middle pieces are narrow strips.
void TestBubbleFolder::piecesHaveTheBorderSizes()
{
    for (const FrameSet &set : kSets) {
        const int widths[] = {set.left, 0, set.right};
        const int heights[] = {set.top, 0, set.bottom};
        for (int i = 0; i < 9; ++i) {
            const QImage img = piece(set.name, i + 1);
            const QByteArray where = pieceName(set.name, i + 1).toLatin1();
            QVERIFY2(!img.isNull(), where.constData());
            const QSize expected(
                widths[i % 3] ? widths[i % 3] : img.width(), heights[i / 3] ? heights[i / 3] : img.height());
            QVERIFY2(img.size() == expected, where.constData());
            QVERIFY2(img.width() <= 16 || widths[i % 3], where.constData());
            QVERIFY2(img.height() <= 16 || heights[i / 3], where.constData());
        }
    }
}

// Pieces stretched along an axis must not change along it, or stretching
// would smear them; the middle is one opaque colour, and the 8 pixels of the
// side pieces next to it still show that colour, clear of the outline.
void TestBubbleFolder::stripsStretchCleanly()
{
    for (const FrameSet &set : kSets) {
        QImage p[10];
        for (int i = 1; i <= 9; ++i)
            p[i] = piece(set.name, i);
        for (int i : {2, 8})
            for (int y = 0; y < p[i].height(); ++y)
                for (int x = 1; x < p[i].width(); ++x)
                    QCOMPARE(p[i].pixel(x, y), p[i].pixel(0, y));
        for (int i : {4, 6})
            for (int y = 1; y < p[i].height(); ++y)
                for (int x = 0; x < p[i].width(); ++x)
                    QCOMPARE(p[i].pixel(x, y), p[i].pixel(x, 0));
        const QRgb fill = p[5].pixel(0, 0);
        QCOMPARE(qAlpha(fill), 255);
        for (int y = 0; y < p[5].height(); ++y)
            for (int x = 0; x < p[5].width(); ++x)
                QCOMPARE(p[5].pixel(x, y), fill);
        for (int d = 0; d < 8; ++d) {
            QVERIFY(sameColour(p[4].pixel(p[4].width() - 1 - d, 0), fill, 8));
            QVERIFY(sameColour(p[6].pixel(d, 0), fill, 8));
            QVERIFY(sameColour(p[2].pixel(0, p[2].height() - 1 - d), fill, 8));
            QVERIFY(sameColour(p[8].pixel(0, d), fill, 8));
        }
    }
}

// Where two pieces meet, the edge pixels of one continue the other.
void TestBubbleFolder::piecesJoinSeamlessly()
{
    for (const FrameSet &set : kSets) {
        for (int i = 1; i <= 9; ++i) {
            const QImage a = piece(set.name, i);
            if (i % 3 != 0) {
                const QImage b = piece(set.name, i + 1);
                for (int y = 0; y < a.height(); ++y)
                    QVERIFY2(sameColour(a.pixel(a.width() - 1, y), b.pixel(0, y), 2),
                        qPrintable(QStringLiteral("%1 | %2 at %3").arg(pieceName(set.name, i)).arg(i + 1).arg(y)));
            }
            if (i <= 6) {
                const QImage b = piece(set.name, i + 3);
                for (int x = 0; x < a.width(); ++x)
                    QVERIFY2(sameColour(a.pixel(x, a.height() - 1), b.pixel(x, 0), 2),
                        qPrintable(QStringLiteral("%1 / %2 at %3").arg(pieceName(set.name, i)).arg(i + 3).arg(x)));
            }
        }
    }
}

void TestBubbleFolder::tailIsOnTheOuterSide()
{
    // Counts the solid pixels in the outer 10 columns of a bottom corner: the outline
    // keeps 10 pixels off the edge, the tail reaches past it.
    auto solidAtEdge = [](const QImage &img, bool leftEdge) {
        int count = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int d = 0; d < 10; ++d)
                count += qAlpha(img.pixel(leftEdge ? d : img.width() - 1 - d, y)) > 128;
        return count;
    };
    // received: tail on the left
    QVERIFY(solidAtEdge(piece("bb1", 7), true) > 10);
    QCOMPARE(solidAtEdge(piece("bb1", 9), false), 0);
    // sent: tail on the right
    QVERIFY(solidAtEdge(piece("bb2", 9), false) > 10);
    QCOMPARE(solidAtEdge(piece("bb2", 7), true), 0);
}

void TestBubbleFolder::attachmentSymbols()
{
    for (const char *name : {"bb-audio.png", "bb-video.png"}) {
        const QImage img = QImage(bubbleDir().filePath(QLatin1String(name))).convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(img.size(), QSize(64, 64));
        int solid = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                solid += qAlpha(img.pixel(x, y)) == 255;
        QVERIFY2(solid > 64 * 64 / 4 && qAlpha(img.pixel(0, 0)) == 0, name);
    }
}

void TestBubbleFolder::styleDefinesEveryClassOfThePages()
{
    const QString css = readStyle();
    QVERIFY(!css.isEmpty());
    QSet<QString> classes;
    static const QRegularExpression className(QStringLiteral("\\.([A-Za-z_][A-Za-z0-9_-]*)"));
    for (const QString &selector : parseRules(css).keys())
        for (auto it = className.globalMatch(selector); it.hasNext();)
            classes.insert(it.next().captured(1));

    QStringList used {QStringLiteral("dt"), QStringLiteral("ct_left"), QStringLiteral("ct_right"),
        QStringLiteral("bb1"), QStringLiteral("bb2"), QStringLiteral("bb_bg"), QStringLiteral("clear")};
    for (const char *p : kPieces)
        used << QLatin1String(p);
    for (const QString &name : used)
        QVERIFY2(classes.contains(name), qPrintable(name));
}

void TestBubbleFolder::styleReferencesOnlyPicturesOfTheFolder()
{
    const QString css = readStyle();
    static const QRegularExpression url(QStringLiteral("url\\(\\s*['\"]?([^'\")]+?)['\"]?\\s*\\)"));
    int count = 0;
    for (auto it = url.globalMatch(css); it.hasNext();) {
        const QString target = it.next().captured(1);
        QVERIFY2(!target.contains(QLatin1Char('/')) && !target.contains(QLatin1Char(':')), qPrintable(target));
        QVERIFY2(bubbleDir().exists(target), qPrintable(target));
        ++count;
    }
    QVERIFY(count >= 18);
}

// Each piece shows its own picture at the picture's size, and the bubble's
// padding keeps the message inside the middle piece.
void TestBubbleFolder::styleFrameMatchesThePictures()
{
    const Rules rules = parseRules(readStyle());
    auto px = [](int n) { return QStringLiteral("%1px").arg(n); };
    for (const FrameSet &set : kSets) {
        const QString bubble = QLatin1Char('.') + QLatin1String(set.name);
        // The text where printed pages put it: further from the tail (received: left).
        const bool tailLeft = QLatin1String(set.name) == QLatin1String("bb1");
        QCOMPARE(rules.value(bubble).value(QStringLiteral("padding")),
            QStringLiteral("10px %1 10px %2").arg(px(tailLeft ? 20 : 30), px(tailLeft ? 30 : 20)));
        for (int i = 0; i < 9; ++i) {
            const QString selector = bubble + QStringLiteral(" .") + QLatin1String(kPieces[i]);
            const QMap<QString, QString> decl = rules.value(selector);
            QCOMPARE(decl.value(QStringLiteral("background-image")),
                QStringLiteral("url(%1)").arg(pieceName(set.name, i + 1)));
            const QImage img(bubbleDir().filePath(pieceName(set.name, i + 1)));
            if (i % 3 != 1)
                QCOMPARE(decl.value(QStringLiteral("width")), px(img.width()));
            if (i / 3 != 1)
                QCOMPARE(decl.value(QStringLiteral("height")), px(img.height()));
        }
    }
    const QMap<QString, QString> pieces = rules.value(QStringLiteral(".bb_bg"));
    QCOMPARE(pieces.value(QStringLiteral("position")), QStringLiteral("absolute"));
    QCOMPARE(pieces.value(QStringLiteral("background-size")), QStringLiteral("100% 100%"));
}

QTEST_MAIN(TestBubbleFolder)
#include "tst_bubble_folder.moc"
