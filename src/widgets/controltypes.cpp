#include "widgets/controltypes.h"

#include <QVariant>
#include <QWidget>

TAlign ControlAlign(const QWidget* control)
{
    const int value = control ? control->property("Align").toInt() : 0;
    return value >= int(TAlign::alNone) && value <= int(TAlign::alClient) ? TAlign(value) : TAlign::alNone;
}

void SetControlAlign(QWidget* control, TAlign align)
{
    if (control)
        control->setProperty("Align", int(align));
}

QString StripAccelChars(const QString& caption)
{
    QString result;
    result.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == u'&') {
            if (i + 1 < caption.size() && caption[i + 1] == u'&') {
                result += u'&';
                ++i;
            }
            continue;
        }
        result += caption[i];
    }
    return result;
}

int HorizontalFlags(TAlignment alignment)
{
    switch (alignment) {
    case TAlignment::taLeftJustify:
        return Qt::AlignLeft;
    case TAlignment::taRightJustify:
        return Qt::AlignRight;
    case TAlignment::taCenter:
        break;
    }
    return Qt::AlignHCenter;
}
