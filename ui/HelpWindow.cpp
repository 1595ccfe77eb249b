#include "ui/HelpWindow.h"

#include "ui/ControlId.h"
#include "ui/DialogUnits.h"

#include <QPlainTextEdit>
#include <QResizeEvent>
#include <QTextCursor>

namespace sonabel {

HelpWindow::HelpWindow(QWidget* mainWindow) : QDialog(mainWindow, Qt::Window | Qt::WindowCloseButtonHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("HELP_DLG"));
    setWindowTitle(QStringLiteral("Sonabel program help"));
    setSizeGripEnabled(true);
    const DialogUnits du;
    resize(du.size(356, 134));
    text = new QPlainTextEdit(this);
    setControlId(text, 1057);
    text->setGeometry(du.rect(53, 27, 248, 81));
    text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    // An edit control shows a carriage return and line feed as one break.
    text->setPlainText(helpText().replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    if (mainWindow) {
        const QRect main = mainWindow->frameGeometry();
        move(main.left() + 50, main.top() + 50);
        resize(std::max(1, mainWindow->width() - 50), mainWindow->height());
    }
}

QString HelpWindow::helpText() {
    static const char* const pieces[] = {
        "Welcome to the Sonabel application !\r\n",
        "\r\n",
        "For a quick start, do the following:\r\n",
        "1. Select a source:\r\n",
        "   Activate the soundcard input in order to use real time audio.\r\n",
        "   You can change, which sound will be used, by double-clicking\r\n",
        "   the speaker icon in the sytem tray. There you can control\r\n",
        "   which input to use, e.g. microphone, line in or CD-ROM.\r\n",
        "   Or select a sound file in wave format by typing\r\n",
        "   its name in the file input text box. (files\r\n",
        "   included with the thesis are called\r\n",
        "   morvane.wav, selquor.wav, dnbloop.wav and loop.wav)\r\n\r\n",
        "2. Select a destination. Normally, the soundcard output\r\n",
        "   is used by checking the corresponding checkbox.\r\n",
        "   By entering a new filename in the file output text box,\r\n",
        "   and activating the check box, you can record the current\r\n",
        "   audio flow to a file.\r\n\r\n",
        "3. Now, by clicking on \"Add\" in the filter box, you can add filters\r\n",
        "   to the audio flow. A window with the parameters of the filter\r\n",
        "   will appear\r\n",
        "   Any number of filters can be added. To change the order,\r\n",
        "   the up/down control can be used.\r\n",
        "   Deleting a filter is done by selecting a filter and pressing \"Del\"\r\n",
        "\r\n",
        "More information on the program can be found in chapter 7 of the thesis.\r\n",
    };
    QString all;
    for (const char* piece : pieces) all += QString::fromLatin1(piece);
    return all;
}

void HelpWindow::clearSelection() {
    QTextCursor cursor = text->textCursor();
    cursor.clearSelection();
    text->setTextCursor(cursor);
}

void HelpWindow::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    text->setGeometry(0, 0, width(), height());
}

} // namespace sonabel
