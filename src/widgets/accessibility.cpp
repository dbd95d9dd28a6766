#include "widgets/accessibility.h"

#include "widgets/aslink.h"
#include "widgets/gifimage.h"
#include "widgets/hemispherebutton.h"
#include "widgets/mpanel.h"
#include "widgets/officebutton.h"
#include "widgets/panel3d.h"
#include "widgets/panelmanager.h"
#include "widgets/progressbar3d.h"
#include "widgets/radiogroup.h"
#include "widgets/winsplit.h"

#include <QAccessibleWidget>
#include <QHash>
#include <QKeySequence>
#include <QPointer>
#include <QRadioButton>
#include <QWindow>

QString AccessibleCaption(const QString& caption)
{
    QString name;
    name.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == QLatin1Char('&')) {
            if (i + 1 >= caption.size())
                break;
            ++i; // "&x" gives "x", "&&" gives "&"
        }
        name += caption[i];
    }
    return name;
}

namespace {

// Runs fn from the event loop unless the control is gone by then; a disabled
// or hidden control ignores it.
template <class Fn> void Post(QWidget* control, Fn fn)
{
    QMetaObject::invokeMethod(
        control,
        [control, fn] {
            if (control->isEnabled() && control->isVisible())
                fn();
        },
        Qt::QueuedConnection);
}

// A painted control: its name, description, press action and the states
// common to buttons. Subclasses give the caption, hint and the press.
class TControlAccessible : public QAccessibleWidget {
public:
    TControlAccessible(QWidget* control, QAccessible::Role role) : QAccessibleWidget(control, role) {}

    QString text(QAccessible::Text t) const override
    {
        switch (t) {
        case QAccessible::Name:
            return Name();
        case QAccessible::Description: {
            if (!widget()->accessibleDescription().isEmpty())
                return widget()->accessibleDescription();
            const QString hint = Hint();
            return hint != Name() ? hint : QString();
        }
        default:
            return QAccessibleWidget::text(t);
        }
    }

    QStringList actionNames() const override
    {
        QStringList names = QAccessibleWidget::actionNames();
        if (Pressable())
            names.prepend(pressAction());
        return names;
    }

    void doAction(const QString& action) override
    {
        if (action == pressAction() && Pressable())
            Press();
        else
            QAccessibleWidget::doAction(action);
    }

    QStringList keyBindingsForAction(const QString& action) const override
    {
        if (action == pressAction()) {
            const QKeySequence key = QKeySequence::mnemonic(Caption());
            if (!key.isEmpty())
                return {key.toString(QKeySequence::NativeText)};
        }
        return QAccessibleWidget::keyBindingsForAction(action);
    }

protected:
    virtual QString Caption() const { return {}; }
    virtual QString Hint() const { return widget()->toolTip(); }
    virtual bool Pressable() const { return false; }
    virtual void Press() {}

    QString Name() const
    {
        if (!widget()->accessibleName().isEmpty())
            return widget()->accessibleName();
        const QString caption = AccessibleCaption(Caption());
        return !caption.isEmpty() ? caption : Hint();
    }
};

class TOfficeButtonAccessible : public TControlAccessible {
public:
    explicit TOfficeButtonAccessible(TOfficeButton* button)
        : TControlAccessible(button, QAccessible::PushButton)
    {
    }

    QAccessible::Role role() const override
    {
        return Button()->DropDownMenu() ? QAccessible::ButtonMenu : QAccessible::PushButton;
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.checkable = Button()->GroupIndex() != 0;
        s.checked = Button()->Down();
        s.pressed = Button()->Pressed();
        s.hotTracked = Button()->Hot();
        s.hasPopup = Button()->DropDownMenu() != nullptr;
        return s;
    }

protected:
    QString Caption() const override { return Button()->Caption(); }
    QString Hint() const override { return Button()->Hint(); }
    bool Pressable() const override { return true; }
    void Press() override
    {
        TOfficeButton* button = Button();
        Post(button, [button] { button->Click(); });
    }

private:
    TOfficeButton* Button() const { return static_cast<TOfficeButton*>(widget()); }
};

class THemisphereAccessible : public TControlAccessible {
public:
    explicit THemisphereAccessible(THemisphereButton* button)
        : TControlAccessible(button, QAccessible::PushButton)
    {
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.checkable = Button()->GroupIndex() != 0;
        s.checked = s.checkable && Button()->Pressed();
        s.pressed = Button()->Pressed();
        return s;
    }

protected:
    QString Caption() const override { return Button()->Caption(); }
    bool Pressable() const override { return true; }
    void Press() override
    {
        THemisphereButton* button = Button();
        Post(button, [button] { button->Click(); });
    }

private:
    THemisphereButton* Button() const { return static_cast<THemisphereButton*>(widget()); }
};

class TLinkAccessible : public TControlAccessible {
public:
    explicit TLinkAccessible(TASLink* link) : TControlAccessible(link, QAccessible::Link) {}

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Description && widget()->accessibleDescription().isEmpty() &&
            Link()->URLEnabled() && !Link()->Caption().isEmpty())
            return LinkTarget(Link()->Caption(), Link()->URLType(), Link()->URLTypeAdd());
        return TControlAccessible::text(t);
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.linked = Link()->URLEnabled();
        return s;
    }

protected:
    QString Caption() const override { return Link()->Caption(); }
    bool Pressable() const override { return true; }
    void Press() override
    {
        TASLink* link = Link();
        Post(link, [link] { link->Click(); });
    }

private:
    TASLink* Link() const { return static_cast<TASLink*>(widget()); }
};

class TGifAccessible : public TControlAccessible {
public:
    explicit TGifAccessible(TGIFImage* image) : TControlAccessible(image, QAccessible::Graphic) {}

protected:
    bool Pressable() const override { return bool(Image()->OnClick); }
    void Press() override
    {
        TGIFImage* image = Image();
        Post(image, [image] { image->Click(); });
    }

private:
    TGIFImage* Image() const { return static_cast<TGIFImage*>(widget()); }
};

class TProgressAccessible : public TControlAccessible, public QAccessibleValueInterface {
public:
    explicit TProgressAccessible(ProgressBar3D* bar) : TControlAccessible(bar, QAccessible::ProgressBar) {}

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return Bar()->Text();
        return TControlAccessible::text(t);
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.readOnly = true;
        return s;
    }

    void* interface_cast(QAccessible::InterfaceType t) override
    {
        if (t == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return TControlAccessible::interface_cast(t);
    }

    QVariant currentValue() const override { return Bar()->Progress(); }
    void setCurrentValue(const QVariant&) override {} // shows progress, takes none
    QVariant maximumValue() const override { return Bar()->MaxValue(); }
    QVariant minimumValue() const override { return Bar()->MinValue(); }
    QVariant minimumStepSize() const override { return 1; }

protected:
    QString Caption() const override { return Bar()->Caption(); }

private:
    ProgressBar3D* Bar() const { return static_cast<ProgressBar3D*>(widget()); }
};

// An item of a TRadioGroup: the group takes its index and raises OnClick from
// the button's clicked(), which Qt's own toggle action never sends. Press and
// Toggle click the button as the mouse does.
class TGroupRadioAccessible : public TControlAccessible {
public:
    explicit TGroupRadioAccessible(QRadioButton* button)
        : TControlAccessible(button, QAccessible::RadioButton)
    {
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.checkable = true;
        s.checked = Button()->isChecked();
        return s;
    }

    QStringList actionNames() const override
    {
        return QStringList{toggleAction()} + TControlAccessible::actionNames();
    }

    void doAction(const QString& action) override
    {
        TControlAccessible::doAction(action == toggleAction() ? pressAction() : action);
    }

protected:
    QString Caption() const override { return Button()->text(); }
    bool Pressable() const override { return true; }
    void Press() override
    {
        QRadioButton* button = Button();
        Post(button, [button] { button->click(); });
    }

private:
    QRadioButton* Button() const { return static_cast<QRadioButton*>(widget()); }
};

// A panel-like control named by a caption (tool panel, 3D panel, radio group
// frame, plain panel, splitter).
class TNamedAccessible : public TControlAccessible {
public:
    TNamedAccessible(QWidget* control, QAccessible::Role role, std::function<QString()> caption)
        : TControlAccessible(control, role), m_caption(std::move(caption))
    {
    }

protected:
    QString Caption() const override { return m_caption ? m_caption() : QString(); }

private:
    std::function<QString()> m_caption;
};

// The grip or tab of one tool panel in a TPanelManager: a page tab, expanded
// while the panel is shown, whose Press toggles the panel.
class TPanelHandleAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    TPanelHandleAccessible(TPanelManager* manager, QWidget* panel) : m_manager(manager), m_panel(panel) {}

    QWidget* Panel() const { return m_panel; }

    bool isValid() const override
    {
        return m_manager && m_panel && m_manager->Panels().contains(m_panel.data());
    }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return m_manager ? m_manager->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(m_manager); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }

    QString text(QAccessible::Text t) const override
    {
        if (t != QAccessible::Name || !isValid())
            return {};
        if (!m_panel->accessibleName().isEmpty())
            return m_panel->accessibleName();
        auto* mpanel = qobject_cast<TMPanel*>(m_panel.data());
        return mpanel ? AccessibleCaption(mpanel->TabCaption()) : QString();
    }
    void setText(QAccessible::Text, const QString&) override {}

    QRect rect() const override
    {
        if (!isValid())
            return {};
        const QRect local = m_manager->HandleRect(m_panel);
        return QRect(m_manager->mapToGlobal(local.topLeft()), local.size());
    }

    QAccessible::Role role() const override { return QAccessible::PageTab; }

    QAccessible::State state() const override
    {
        QAccessible::State s;
        if (!isValid()) {
            s.invalid = true;
            return s;
        }
        const bool collapsed = m_manager->IsCollapsed(m_panel);
        s.invisible = !m_manager->isVisible();
        s.disabled = !m_manager->isEnabled();
        s.expandable = true;
        s.expanded = !collapsed;
        s.collapsed = collapsed;
        s.selected = !collapsed;
        return s;
    }

    void* interface_cast(QAccessible::InterfaceType t) override
    {
        return t == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
    }

    QStringList actionNames() const override { return {pressAction()}; }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }
    void doAction(const QString& action) override
    {
        if (action != pressAction() || !isValid())
            return;
        TPanelManager* manager = m_manager;
        QPointer<QWidget> panel = m_panel;
        Post(manager, [manager, panel] {
            if (panel)
                manager->TogglePanel(panel);
        });
    }

private:
    QPointer<TPanelManager> m_manager;
    QPointer<QWidget> m_panel;
};

// The tool panel area: its panels' handles come first, then its children.
class TPanelManagerAccessible : public TControlAccessible {
public:
    explicit TPanelManagerAccessible(TPanelManager* manager)
        : TControlAccessible(manager, QAccessible::PageTabList)
    {
    }

    ~TPanelManagerAccessible() override
    {
        for (QAccessible::Id id : std::as_const(m_handles))
            QAccessible::deleteAccessibleInterface(id);
    }

    int childCount() const override { return Manager()->Panels().size() + QAccessibleWidget::childCount(); }

    QAccessibleInterface* child(int index) const override
    {
        const QList<QWidget*> panels = Manager()->Panels();
        if (index < 0)
            return nullptr;
        if (index < panels.size())
            return Handle(panels[index]);
        return QAccessibleWidget::child(index - int(panels.size()));
    }

    int indexOfChild(const QAccessibleInterface* child) const override
    {
        const QList<QWidget*> panels = Manager()->Panels();
        for (int i = 0; i < panels.size(); ++i)
            if (m_handles.contains(panels[i]) &&
                QAccessible::accessibleInterface(m_handles[panels[i]]) == child)
                return i;
        const int index = QAccessibleWidget::indexOfChild(child);
        return index < 0 ? -1 : index + int(panels.size());
    }

protected:
    QString Caption() const override { return Manager()->Caption(); }

private:
    TPanelManager* Manager() const { return static_cast<TPanelManager*>(widget()); }

    QAccessibleInterface* Handle(QWidget* panel) const
    {
        if (auto it = m_handles.find(panel); it != m_handles.end()) {
            auto* handle = static_cast<TPanelHandleAccessible*>(QAccessible::accessibleInterface(*it));
            if (handle && handle->Panel() == panel)
                return handle;
            QAccessible::deleteAccessibleInterface(*it); // its panel died; a new one has its address
            m_handles.erase(it);
        }
        auto* handle = new TPanelHandleAccessible(Manager(), panel);
        m_handles.insert(panel, QAccessible::registerAccessibleInterface(handle));
        return handle;
    }

    mutable QHash<const QWidget*, QAccessible::Id> m_handles;
};

QAccessibleInterface* Factory(const QString& key, QObject* object)
{
    auto* widget = qobject_cast<QWidget*>(object);
    if (!widget)
        return nullptr;
    if (key == QLatin1String("TOfficeButton"))
        return new TOfficeButtonAccessible(static_cast<TOfficeButton*>(widget));
    if (key == QLatin1String("THemisphereButton"))
        return new THemisphereAccessible(static_cast<THemisphereButton*>(widget));
    if (key == QLatin1String("TASLink"))
        return new TLinkAccessible(static_cast<TASLink*>(widget));
    if (key == QLatin1String("TGIFImage"))
        return new TGifAccessible(static_cast<TGIFImage*>(widget));
    if (key == QLatin1String("ProgressBar3D"))
        return new TProgressAccessible(static_cast<ProgressBar3D*>(widget));
    if (key == QLatin1String("TPanelManager"))
        return new TPanelManagerAccessible(static_cast<TPanelManager*>(widget));
    if (key == QLatin1String("TMPanel")) {
        auto* panel = static_cast<TMPanel*>(widget);
        return new TNamedAccessible(panel, QAccessible::ToolBar, [panel] { return panel->TabCaption(); });
    }
    if (key == QLatin1String("TWinSplit")) {
        auto* split = static_cast<TWinSplit*>(widget);
        return new TNamedAccessible(split, QAccessible::Splitter, [split] { return split->Caption(); });
    }
    if (key == QLatin1String("QRadioButton")) {
        for (QObject* up = object->parent(); up; up = up->parent())
            if (qobject_cast<TRadioGroup*>(up))
                return new TGroupRadioAccessible(static_cast<QRadioButton*>(widget));
        return nullptr; // Qt's own
    }
    if (key == QLatin1String("TRadioGroup")) {
        auto* group = static_cast<TRadioGroup*>(widget);
        return new TNamedAccessible(group, QAccessible::Grouping, [group] { return group->Caption(); });
    }
    if (key == QLatin1String("TPanel3D")) {
        auto* panel = static_cast<TPanel3D*>(widget);
        return new TNamedAccessible(panel, QAccessible::Grouping, [panel] {
            return !panel->Title().isEmpty() ? panel->Title() : panel->Caption();
        });
    }
    if (key == QLatin1String("TCustomPanel")) {
        auto* panel = static_cast<TCustomPanel*>(widget);
        return new TNamedAccessible(panel, QAccessible::Pane, [panel] { return panel->Caption(); });
    }
    return nullptr;
}

} // namespace

void InstallAccessibility()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    QAccessible::installFactory(Factory);
}
