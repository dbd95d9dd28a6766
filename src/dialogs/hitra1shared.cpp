#include "dialogs/hitra1shared.h"

#include "widgets/controltypes.h"
#include "widgets/gifimage.h"
#include "widgets/wallpaper.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QVBoxLayout>
#include <QWidget>

TAskBox ShowMessageBox(QWidget* parent)
{
    return [parent](QMessageBox::Icon icon, const QString& title, const QString& text,
                    QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton) {
        QMessageBox box(icon, title, text, buttons, parent);
        if (defaultButton != QMessageBox::NoButton)
            box.setDefaultButton(defaultButton);
        return QMessageBox::StandardButton(box.exec());
    };
}

void CentreOnScreen(QWidget* window)
{
    QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}

QPixmap GifPicture(const QString& name)
{
    TGIFImage image;
    image.LoadFromResource(name);
    if (image.Empty())
        return {};
    return QPixmap::fromImage(image.WorkingImage());
}

TWallpaper* FillWithWallpaper(QWidget* window)
{
    auto* outer = new QVBoxLayout(window);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* wallpaper = new TWallpaper(window);
    wallpaper->setObjectName(QStringLiteral("Ozadje"));
    wallpaper->SetBevelOuter(TPanelBevel::bvNone);
    outer->addWidget(wallpaper);
    return wallpaper;
}

void NameFieldsAfterLabels(QWidget* window)
{
    for (QLabel* label : window->findChildren<QLabel*>()) {
        if (label->buddy() != nullptr) {
            label->buddy()->setAccessibleName(StripAccelChars(label->text()));
        }
    }
}

QString DefaultPort(int encryption)
{
    return encryption == kImplicitTls ? QStringLiteral("990") : QStringLiteral("21");
}

void PortFollowsEncryption(QComboBox* encryption, QLineEdit* port)
{
    // The longest choice would widen the whole form; the open list shows it whole.
    encryption->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    encryption->setMinimumContentsLength(12);
    QObject::connect(encryption, &QComboBox::activated, port, [port](int choice) {
        const QString other = DefaultPort(choice == kImplicitTls ? 0 : kImplicitTls);
        if (port->text() == other)
            port->setText(DefaultPort(choice));
    });
}
