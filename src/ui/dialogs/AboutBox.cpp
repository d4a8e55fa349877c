// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/dialogs/AboutBox.h"

#include "LexipondVersion.h"
#include "ui/common/AppContext.h"
#include "ui/common/AppIcon.h"

#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace lexipond {

void RunAboutBox(AppContext& app, QWidget* owner) {
    if (app.about)
        return;
    QDialog box(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint);
    box.setObjectName(QStringLiteral("aboutBox"));
    box.setWindowTitle(QCoreApplication::translate("AboutBox", "About Lexipond"));
    box.setModal(true);

    auto* icon = new QLabel;
    icon->setPixmap(ProgramIcon().pixmap(48, 48));
    icon->setAlignment(Qt::AlignTop);
    auto* text = new QLabel(
        QStringLiteral("<p><b style=\"font-size:large\">Lexipond</b><br>%1</p><p>%2</p>")
            .arg(QCoreApplication::translate("AboutBox", "Version %1")
                     .arg(QStringLiteral(LEXIPOND_VERSION)),
                 QCoreApplication::translate(
                     "AboutBox", "A sight-word tutor: it shows one word at a time for a young<br>"
                                 "reader, and keeps each learner's answers to choose the next "
                                 "word.")));
    text->setTextFormat(Qt::RichText);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &box, &QDialog::accept);

    auto* row = new QHBoxLayout;
    row->addWidget(icon);
    row->addSpacing(12);
    row->addWidget(text, 1);
    auto* column = new QVBoxLayout(&box);
    column->addLayout(row);
    column->addWidget(buttons);
    box.setFixedSize(box.sizeHint());
    app.about = &box; // null again once the box is gone
    box.exec();
}

} // namespace lexipond
