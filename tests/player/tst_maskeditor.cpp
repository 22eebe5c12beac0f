// What a press with the mask tool takes: the inside of the top mask moves it, an edge
// or corner within the grip resizes it, a small mask keeps an inside to take, and a
// press anywhere else draws a new one unless it was only a click; a moved box keeps
// its size inside the picture.

#include "player/maskeditor.h"
#include "tests/support/testmain.h"

class TestMaskEditor : public QObject {
    Q_OBJECT

private slots:
    void aPressTakesWhatItIsOn()
    {
        const QRectF r(100, 100, 200, 100);
        QCOMPARE(CMaskEditor::EdgesAt({200, 150}, r), int(CMaskEditor::INSIDE));
        QCOMPARE(CMaskEditor::EdgesAt({97, 150}, r), int(CMaskEditor::LEFT));
        QCOMPARE(CMaskEditor::EdgesAt({303, 203}, r), CMaskEditor::RIGHT | CMaskEditor::BOTTOM);
        QCOMPARE(CMaskEditor::EdgesAt({200, 106}, r), int(CMaskEditor::INSIDE));
        QCOMPARE(CMaskEditor::EdgesAt({90, 150}, r), 0);
        const QRectF small(10, 10, 8, 8); // edges grip 2 pixels: its middle still moves it
        QCOMPARE(CMaskEditor::EdgesAt({14, 14}, small), int(CMaskEditor::INSIDE));
        QCOMPARE(CMaskEditor::EdgesAt({10, 14}, small), int(CMaskEditor::LEFT));
    }

    void dragsMoveResizeAndDraw()
    {
        CMaskEditor editor;
        const std::vector<std::optional<QRectF>> shown{QRectF(100, 100, 200, 100), std::nullopt,
                                                       QRectF(150, 120, 50, 50)};
        editor.Press({160, 130}, shown); // both lie there: the later one is on top
        std::optional<CMaskEditor::CDrag> drag = editor.Release({170, 150});
        QVERIFY(drag);
        QCOMPARE(drag->m_nMask, 2);
        QCOMPARE(drag->m_now, QRectF(160, 140, 50, 50));

        editor.Press({300, 120}, shown); // the first mask's right edge, dragged past its left
        drag = editor.Release({50, 120});
        QCOMPARE(drag->m_nMask, 0);
        QCOMPARE(drag->m_now, QRectF(50, 100, 50, 100));

        editor.Press({400, 300}, shown);
        QVERIFY(!editor.Release({402, 303})); // a click
        editor.Press({400, 300}, shown);
        editor.Move({450, 380});
        QVERIFY(editor.Drag());
        drag = editor.Release({380, 250});
        QCOMPARE(drag->m_nMask, -1);
        QCOMPARE(drag->m_now, QRectF(380, 250, 20, 50));
        QVERIFY(!editor.Drag());
    }

    void boxesStayInThePicture()
    {
        QCOMPARE(CMaskEditor::KeepInside(QRectF(0.8, -0.1, 0.4, 0.3), true), QRectF(0.6, 0, 0.4, 0.3));
        QCOMPARE(CMaskEditor::KeepInside(QRectF(0.8, -0.1, 0.4, 0.3), false), QRectF(0.8, 0, 0.2, 0.2));
    }
};

KVX_REGISTER_TEST(TestMaskEditor);
#include "tst_maskeditor.moc"
