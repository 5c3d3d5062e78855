// SPDX-License-Identifier: GPL-3.0-or-later
#include "WindowPlacement.h"

#include <QScreen>
#include <QWidget>
#include <QtTest>

// On the offscreen platform windows have no frame. The deeper check runs this test once more on a real X
// server with a window manager and VOKABO_EXPECT_FRAME set, where the title bar has to be counted.
class WindowPlacementTest : public QObject {
    Q_OBJECT

private slots:
    void centresByTheOuterFrame_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("fixed");
        QTest::newRow("sizable") << QSize(577, 450) << false;
        QTest::newRow("fixed, no maximise box") << QSize(614, 301) << true;
        QTest::newRow("odd size") << QSize(301, 201) << true;
    }

    void centresByTheOuterFrame()
    {
        QFETCH(QSize, size);
        QFETCH(bool, fixed);
        const bool expectFrame = qEnvironmentVariableIsSet("VOKABO_EXPECT_FRAME");

        QWidget window;
        if (fixed) {
            window.setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                  Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
            window.setFixedSize(size);
        } else {
            window.resize(size);
        }
        centreOnScreen(window);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        if (expectFrame)
            QTRY_VERIFY(window.frameGeometry().height() > window.height());

        const QPoint centre = window.screen()->geometry().center();
        QTRY_VERIFY2((window.frameGeometry().center() - centre).manhattanLength() <= 1,
                     qPrintable(QStringLiteral("frame %1,%2 %3x%4")
                                    .arg(window.frameGeometry().x())
                                    .arg(window.frameGeometry().y())
                                    .arg(window.frameGeometry().width())
                                    .arg(window.frameGeometry().height())));
    }
};

QTEST_MAIN(WindowPlacementTest)
#include "tst_windowplacement.moc"
