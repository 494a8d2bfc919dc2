// The result view: the layout arithmetic, and drawings rendered into
// images of known size, checked for where the pictures and texts land.

#include "app/AppFixture.h"
#include "app/Resources.h"
#include "app/ViewLayout.h"
#include "support/TestMain.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>

using namespace norvane;
using namespace norvane::test;

namespace {

QImage Render(CNorvaneView& view, QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::red); // everything must be painted over
    QPainter painter(&image);
    view.OnDraw(painter, size);
    return image;
}

bool IsInk(QRgb pixel)
{
    return qGray(pixel) < 128;
}

// Whether any dark pixel lies inside rect.
bool HasInk(const QImage& image, const QRect& rect)
{
    const QRect r = rect & image.rect();
    for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = r.left(); x <= r.right(); ++x) {
            if (IsInk(image.pixel(x, y))) {
                return true;
            }
        }
    }
    return false;
}

// The bounding box of the pixels of one colour.
QRect BoundingBox(const QImage& image, QRgb colour)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if ((image.pixel(x, y) & 0xffffff) == (colour & 0xffffff)) {
                box |= QRect(x, y, 1, 1);
            }
        }
    }
    return box;
}

bool SameAs(const QImage& drawn, QPoint at, const QImage& picture, QRect part)
{
    const QImage expected = picture.convertToFormat(QImage::Format_RGB32).copy(part);
    return drawn.copy(part.translated(at)) == expected;
}

} // namespace

class ViewTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void layoutArithmetic()
    {
        const ResultLayout wide = ComputeResultLayout(QSize(1000, 700), QSize(257, 242), 8, 5, 3);
        QCOMPARE(wide.m_Schematic, QPoint(371, 244)); // (1000-257)/2, (700-272)/2+30
        QCOMPARE(wide.m_Title, QPoint(10, 15));
        QCOMPARE(wide.m_ResultCaption, QPoint(371, 214));
        QCOMPARE(wide.m_Components.front(), QPoint(371 + 257 + 20, 244));
        QCOMPARE(wide.m_Components.back(), QPoint(648, 244 + 7 * 20));
        QCOMPARE(wide.m_InputCaption, QPoint(10, 214));
        QCOMPARE(wide.m_Inputs.back(), QPoint(10, 244 + 4 * 20));
        QCOMPARE(wide.m_OperationCaption, QPoint(10, 244 + 20 * (5 + 2)));
        QCOMPARE(wide.m_Operations.front(), QPoint(10, 244 + 140 + 30));
        QCOMPARE(wide.m_Operations.back(), QPoint(10, 244 + 140 + 30 + 40));

        // Narrow and low: the schematic keeps its minimum place.
        const ResultLayout small = ComputeResultLayout(QSize(400, 300), QSize(253, 312), 9, 3, 3);
        QCOMPARE(small.m_Schematic, QPoint(150, 75));
        QCOMPARE(small.m_ResultCaption, QPoint(150, 45));
        QCOMPARE(small.m_InputCaption, QPoint(10, 45));
        QCOMPARE(small.m_OperationCaption, QPoint(10, 75 + 20 * 5));
        // Divisions of negative differences truncate toward zero.
        QCOMPARE(ComputeResultLayout(QSize(100, 100), QSize(257, 318), 0, 0, 0).m_Schematic, QPoint(150, 75));
        // Notes stand below the title, one a line, and push the rest down
        // so that none runs into a caption.
        const ResultLayout noted = ComputeResultLayout(QSize(100, 100), QSize(257, 318), 0, 0, 0, 3);
        QCOMPARE(noted.m_Notes, (std::vector<QPoint>{{10, 35}, {10, 55}, {10, 75}}));
        QCOMPARE(noted.m_InputCaption.y(), noted.m_Notes.back().y() + 30);

        QCOMPARE(StartPicturePosition(QSize(1000, 700), QSize(800, 495)), QPoint(100, 102));
        QCOMPARE(StartPicturePosition(QSize(801, 496), QSize(800, 495)), QPoint(0, 0));
        QCOMPARE(StartPicturePosition(QSize(600, 400), QSize(800, 495)), QPoint(0, 0));
    }

    void startPictureCentredOnWhite()
    {
        AppFixture f;
        const QImage start(StartPicturePath);
        QCOMPARE(start.size(), QSize(800, 495));
        const QImage drawn = Render(*f.MainWindow().View(), QSize(1000, 700));
        QVERIFY(SameAs(drawn, QPoint(100, 102), start, start.rect()));
        QCOMPARE(drawn.pixel(0, 0), qRgb(255, 255, 255));
        QCOMPARE(drawn.pixel(999, 699), qRgb(255, 255, 255));
        // Smaller than the picture: its top-left corner at the origin.
        const QImage clipped = Render(*f.MainWindow().View(), QSize(500, 300));
        QVERIFY(SameAs(clipped, QPoint(0, 0), start, QRect(0, 0, 500, 300)));
    }

    void resultDrawing()
    {
        AppFixture f;
        f.Calculate(CircuitKind::CommonEmitter);
        QCOMPARE(int(f.app->GetSchematicId()), 142);
        const QImage schematic(SchematicPicturePath(142));
        const QSize client(1000, 700);
        const QImage drawn = Render(*f.MainWindow().View(), client);
        const ResultLayout layout = ComputeResultLayout(client, schematic.size(), 8, 5, 3);

        QVERIFY(SameAs(drawn, layout.m_Schematic, schematic, schematic.rect()));
        // The picture's background colour appears only where it was put.
        const QRect yellow = BoundingBox(drawn, qRgb(0xCC, 0xFF, 0x33));
        QVERIFY(!yellow.isEmpty());
        QVERIFY(QRect(layout.m_Schematic, schematic.size()).contains(yellow));

        // Each text hangs from its point: ink in its line, none just above.
        const int line = f.MainWindow().View()->fontMetrics().height();
        auto hangsFrom = [&](QPoint p, int width) {
            return HasInk(drawn, QRect(p, QSize(width, line))) &&
                   !HasInk(drawn, QRect(p.x(), p.y() - 4, width, 4));
        };
        QVERIFY(hangsFrom(layout.m_Title, 300));
        QVERIFY(hangsFrom(layout.m_ResultCaption, 60));
        QVERIFY(hangsFrom(layout.m_InputCaption, 60));
        QVERIFY(hangsFrom(layout.m_OperationCaption, 60));
        for (const QPoint& p : layout.m_Components) {
            QVERIFY(HasInk(drawn, QRect(p, QSize(100, line))));
        }
        for (const QPoint& p : layout.m_Inputs) {
            QVERIFY(HasInk(drawn, QRect(p, QSize(100, line))));
        }
        for (const QPoint& p : layout.m_Operations) {
            QVERIFY(HasInk(drawn, QRect(p, QSize(100, line))));
        }
        // Eight component lines and no ninth.
        QVERIFY(!HasInk(drawn, QRect(layout.m_Components.back() + QPoint(0, 20), QSize(100, line))));
        // The verdict line (or "Simulating...") on the line below the title,
        // and nothing else in the left column above the input caption.
        QVERIFY(hangsFrom(QPoint(10, 35), 60));
        QVERIFY(!HasInk(drawn, QRect(0, 35 + line + 2, 200, layout.m_InputCaption.y() - 37 - line)));
    }

    // A design that cannot be built says so in red on the line below the
    // title; a usable one leaves that line empty (checked above).
    void unusableDesignIsNotedBelowTheTitle()
    {
        AppFixture f;
        f.Calculate(CircuitKind::CommonEmitter, [](CCircuitDialog* dialog) {
            dialog->FieldEdit(InputField::SupplyVoltage)->setText(QStringLiteral("1"));
        });
        QVERIFY(f.Doc().GetNotes().at(0).rfind("This design is not usable: ", 0) == 0);
        const QSize client(1000, 700);
        const QImage drawn = Render(*f.MainWindow().View(), client);
        const int line = f.MainWindow().View()->fontMetrics().height();
        const QRect noteLine(10, 35, 400, line);
        bool red = false;
        for (int y = noteLine.top(); y <= noteLine.bottom(); ++y) {
            for (int x = noteLine.left(); x <= noteLine.right(); ++x) {
                const QColor c = drawn.pixelColor(x, y);
                red = red || (c.red() > 120 && c.green() < 60 && c.blue() < 60);
            }
        }
        QVERIFY(red);
        // The operation point keeps its three lines.
        QCOMPARE(f.Doc().GetOperationPoint().size(), std::size_t(3));
    }

    // The verdict line wraps at the window's edge instead of being cut off;
    // lines pressed and dragged over, or all of them, copy as text.
    void longLinesWrapAndCopy()
    {
        AppFixture f;
        f.Calculate(CircuitKind::CommonBase);
        QTRY_VERIFY_WITH_TIMEOUT(f.Doc().GetVerdictState() != VerdictState::Simulating, 10000);
        QVERIFY(f.Doc().GetNotes().empty());
        // A view of its own: the window's sits in a scroll area, which sizes
        // it to the window.
        CNorvaneView own(&f.Doc());
        CNorvaneView* view = &own;
        const QSize client(420, 700);
        view->resize(client);
        const std::vector<ViewLine> lines = view->ResultLines(client);
        const auto inputCaption =
            std::ranges::find(lines, QStringLiteral("Input data:"), &ViewLine::m_Text) - lines.begin();
        QStringList verdict;
        for (qsizetype i = 1; i < inputCaption; ++i) {
            const ViewLine& line = lines[static_cast<std::size_t>(i)];
            QVERIFY2(line.m_Box.right() < client.width(), qPrintable(line.m_Text));
            verdict.append(line.m_Text);
        }
        QVERIFY(verdict.size() > 1);
        QCOMPARE(verdict.join(u' ').toStdString(), f.Doc().GetVerdictLine());
        const QImage drawn = Render(*view, client);
        QVERIFY(HasInk(drawn, lines[static_cast<std::size_t>(inputCaption - 1)].m_Box));

        QTest::mousePress(view, Qt::LeftButton, {}, lines[0].m_Box.center());
        QMouseEvent drag(QEvent::MouseMove,
                         QPointF(lines[static_cast<std::size_t>(inputCaption - 1)].m_Box.center()),
                         view->mapToGlobal(QPointF(0, 0)), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(view, &drag);
        QTest::mouseRelease(view, Qt::LeftButton);
        view->CopySelection();
        QCOMPARE(QGuiApplication::clipboard()->text(), lines[0].m_Text + u'\n' + verdict.join(u'\n'));
        view->CopyAll();
        const QString all = QGuiApplication::clipboard()->text();
        QVERIFY(all.startsWith(lines[0].m_Text) && all.contains(u"\nR1 = ") && all.contains(u"\nIc = "));
    }

    void smallClientKeepsTheMinimumPlace()
    {
        AppFixture f;
        f.Calculate(CircuitKind::CommonBase);
        const QImage schematic(SchematicPicturePath(136));
        const QImage drawn = Render(*f.MainWindow().View(), QSize(420, 300));
        // The part clear of the texts on the left; one line lower than the
        // bare minimum, for the verdict line below the title.
        QVERIFY(SameAs(drawn, QPoint(150, 95), schematic, QRect(60, 5, 190, 195)));
        QCOMPARE(drawn.pixel(419, 0), qRgb(255, 255, 255));
    }
};

NORVANE_REGISTER_TEST(ViewTest);

#include "ViewTest.moc"
