#include "pendant/inputpath.h"

#include "pendant/inputpaint.h"
#include "pendant/keystate.h"
#include "pendant/paintbox.h"
#include "provider/keytables.h"

#include <QPainter>

namespace tarvisk {

namespace {

QString folded(const QString &name)
{
    return name.toUpper();
}

bool isHand(InputSource s)
{
    return s == InputSource::Mouse || s == InputSource::Keyboard || s == InputSource::Touch;
}

// Whether a way out ends holds of a source. The latch view ends only the hands' holds on the
// controls it hid (see letGo); the enabling switch and whatever else stays shown stay held.
bool endsHold(WayOut way, InputSource source)
{
    if (way == WayOut::Deactivation || way == WayOut::LatchView)
        return isHand(source);
    return true;
}

bool isKeyKind(ControlKind kind)
{
    return kind == ControlKind::PushKey || kind == ControlKind::EnablingSwitch;
}

} // namespace

QString inputSourceName(InputSource source)
{
    switch (source) {
    case InputSource::Mouse:
        return QStringLiteral("mouse");
    case InputSource::Keyboard:
        return QStringLiteral("keyboard");
    case InputSource::Touch:
        return QStringLiteral("touch");
    case InputSource::Script:
        return QStringLiteral("script");
    case InputSource::Replay:
        return QStringLiteral("replay");
    case InputSource::Latch:
        return QStringLiteral("latch");
    case InputSource::Program:
        break;
    }
    return QStringLiteral("program");
}

InputPath::Source::Source(InputPath &path)
    : QObject(&path)
    , m_path(path)
{}

InputPath::Scope::Scope(InputPath &path, InputSource source)
    : m_path(path)
    , m_saved(path.m_scope)
{
    if (!m_path.m_scope)
        m_path.m_scope = source;
}

InputPath::Scope::~Scope()
{
    m_path.m_scope = m_saved;
}

InputPath::InputPath(QWidget *window, PendantKeys &keys, std::function<const KeyTable *()> table)
    : QObject(window)
    , m_window(window)
    , m_keys(keys)
    , m_table(std::move(table))
{
    m_keys.onReported = [this](int32_t code, bool held) { onReported(code, held); };
}

InputPath::~InputPath()
{
    m_keys.onReported = nullptr;
}

int InputPath::declare(const KeyControl &decl)
{
    const int index = int(m_controls.size());
    m_controls.push_back({decl, InputSource::Program, {}});
    auto addKey = [&](const QString &name, int direction) {
        Key &k = m_keysByName[folded(name)];
        if (k.name.isEmpty())
            k.name = name;
        if (decl.kind == ControlKind::LatchTwin)
            k.twin = index;
        else
            k.control = index;
        k.direction = direction;
    };
    if (decl.kind == ControlKind::JogDial || decl.kind == ControlKind::JogSlider) {
        addKey(decl.keyName, -1);
        addKey(decl.otherKeyName, 1);
    } else {
        addKey(decl.keyName, 0);
    }
    if (decl.kind == ControlKind::EnablingSwitch)
        m_enablingSwitch = decl.keyName;
    if (decl.widget)
        decl.widget->installEventFilter(this);
    return index;
}

void InputPath::attachSources(PendantKind kind, bool keyboard)
{
    if (!m_sources.isEmpty())
        return;
    buildOverlay();
    addSource(makeMouseSource(*this));
    addSource(makeTouchSource(*this));
    if (keyboard)
        addSource(makeKeyboardSource(*this, kind));
}

void InputPath::addSource(Source *source)
{
    if (source)
        m_sources << source;
}

int InputPath::controlOf(const QWidget *w) const
{
    for (; w && w != m_window; w = w->parentWidget()) {
        for (size_t i = 0; i < m_controls.size(); ++i) {
            if (m_controls[i].decl.widget == w)
                return int(i);
        }
    }
    return -1;
}

QStringList InputPath::keyNames() const
{
    QStringList names;
    for (const Key &k : m_keysByName)
        names << k.name;
    names.sort();
    return names;
}

bool InputPath::takes(int index) const
{
    if (index < 0 || index >= controlCount())
        return false;
    const QWidget *w = m_controls[size_t(index)].decl.widget;
    return w && w->isVisible() && w->isEnabled();
}

InputPath::Key *InputPath::key(const QString &name)
{
    const auto it = m_keysByName.find(folded(name));
    return it == m_keysByName.end() ? nullptr : &*it;
}

const InputPath::Key *InputPath::key(const QString &name) const
{
    const auto it = m_keysByName.constFind(folded(name));
    return it == m_keysByName.cend() ? nullptr : &*it;
}

KeyView InputPath::view(const Key &k) const
{
    KeyView v;
    v.held = !k.holders.isEmpty();
    for (const Holder &h : k.holders) {
        if (h.source == InputSource::Latch)
            v.latched = true;
        else
            v.heldByHand = true;
    }
    return v;
}

bool InputPath::latchTakes(const Key &k) const
{
    return takes(k.control) || takes(k.twin);
}

bool InputPath::run(Key &k, bool press)
{
    const ControlHandlers &on = m_controls[size_t(k.control)].decl.on;
    if (on.look)
        on.look(press);
    try {
        const KeyTable *table = m_table ? m_table() : nullptr;
        if (!table)
            raiseError(ErrObjectNotSet);
        const int32_t code = table->Item(k.name);
        if (press)
            m_keys.press(code, PendantKeys::Hold::Kept);
        else
            m_keys.release(code);
    } catch (const ProvError &e) {
        if (on.failed)
            on.failed(e, press);
        return false;
    }
    settle(k);
    return true;
}

void InputPath::settle(Key &k)
{
    const KeyView v = view(k);
    for (int index : {k.control, k.twin}) {
        if (index >= 0 && m_controls[size_t(index)].decl.on.settle)
            m_controls[size_t(index)].decl.on.settle(v);
    }
}

void InputPath::addHolder(Key &k, Holder holder)
{
    const bool wasHeld = !k.holders.isEmpty();
    k.holders << holder;
    if (wasHeld) {
        settle(k);
        return;
    }
    m_heldOrder << folded(k.name);
    run(k, true);
}

void InputPath::removeHolder(Key &k, Holder holder)
{
    // A message box of a failed report runs a nested event loop, in which the holder may have
    // gone already.
    if (!k.holders.removeOne(holder))
        return;
    if (!k.holders.isEmpty()) {
        settle(k);
        return;
    }
    m_heldOrder.removeOne(folded(k.name));
    run(k, false);
}

bool InputPath::press(const QString &keyName, Holder holder)
{
    Key *k = key(keyName);
    if (!k || k->control < 0)
        return false;
    Control &c = m_controls[size_t(k->control)];
    if (!takes(k->control))
        return false;
    c.lastSource = holder.source;
    Scope scope(*this, holder.source);
    switch (c.decl.kind) {
    case ControlKind::ModeSwitchArea:
        if (c.decl.on.select)
            c.decl.on.select();
        return true;
    case ControlKind::JogDial:
    case ControlKind::JogSlider:
        return jogPress(*k, holder);
    default:
        break;
    }
    if (k->holders.contains(holder))
        return true;
    addHolder(*k, holder);
    return true;
}

bool InputPath::release(const QString &keyName, Holder holder)
{
    Key *k = key(keyName);
    if (!k || k->control < 0)
        return false;
    Control &c = m_controls[size_t(k->control)];
    if (c.decl.kind == ControlKind::JogSlider || c.decl.kind == ControlKind::JogDial)
        return jogRelease(*k, holder);
    if (!k->holders.contains(holder))
        return false;
    c.lastSource = holder.source;
    Scope scope(*this, holder.source);
    removeHolder(*k, holder);
    return true;
}

bool InputPath::jogPress(Key &k, Holder holder)
{
    Control &c = m_controls[size_t(k.control)];
    if (!c.decl.on.jog)
        return false;
    if (c.decl.kind == ControlKind::JogSlider) {
        c.jogHolders.removeIf([&](const QPair<Holder, int> &p) { return p.first == holder; });
        c.jogHolders << qMakePair(holder, k.direction);
    }
    c.decl.on.jog(k.direction);
    return true;
}

bool InputPath::jogRelease(Key &k, Holder holder)
{
    Control &c = m_controls[size_t(k.control)];
    if (c.decl.kind != ControlKind::JogSlider)
        return false;
    const qsizetype before = c.jogHolders.size();
    c.jogHolders.removeIf([&](const QPair<Holder, int> &p) { return p.first == holder && p.second == k.direction; });
    if (c.jogHolders.size() == before)
        return false;
    c.lastSource = holder.source;
    Scope scope(*this, holder.source);
    c.decl.on.jog(c.jogHolders.isEmpty() ? 0 : c.jogHolders.last().second);
    return true;
}

bool InputPath::setLatched(const QString &keyName, bool latched, InputSource by)
{
    Key *k = key(keyName);
    if (!k || k->control < 0 || !isKeyKind(m_controls[size_t(k->control)].decl.kind))
        return false;
    const Holder latch{InputSource::Latch, 0};
    if (k->holders.contains(latch) == latched)
        return true;
    Scope scope(*this, by);
    if (latched) {
        if (!latchTakes(*k))
            return false;
        const bool wasHeld = !k->holders.isEmpty();
        k->holders << latch;
        if (wasHeld) {
            settle(*k);
        } else {
            m_heldOrder << folded(k->name);
            if (!run(*k, true)) {
                // A latch that could not be reported holds nothing.
                k->holders.removeOne(latch);
                m_heldOrder.removeOne(folded(k->name));
                const ControlHandlers &on = m_controls[size_t(k->control)].decl.on;
                if (on.look)
                    on.look(false);
                emit changed();
                return false;
            }
        }
    } else {
        removeHolder(*k, latch);
    }
    emit latchChanged(k->name, latched, by);
    emit changed();
    return true;
}

bool InputPath::toggleLatch(const QString &keyName, InputSource by)
{
    return setLatched(keyName, !isLatched(keyName), by);
}

void InputPath::letGo(WayOut way)
{
    for (Source *s : std::as_const(m_sources))
        s->letGo(way);
    bool any = false;
    const QStringList order = m_heldOrder;
    for (const QString &name : order) {
        Key *k = key(name);
        if (!k || (way == WayOut::LatchView && takes(k->control)))
            continue;
        QList<Holder> ending;
        for (const Holder &h : std::as_const(k->holders)) {
            if (endsHold(way, h.source))
                ending << h;
        }
        for (const Holder &h : ending) {
            Scope scope(*this, h.source == InputSource::Latch ? InputSource::Program : h.source);
            removeHolder(*k, h);
            if (h.source == InputSource::Latch)
                emit latchChanged(k->name, false, InputSource::Program);
            any = true;
        }
    }
    for (int index = 0; index < controlCount(); ++index) {
        Control &c = m_controls[size_t(index)];
        if (c.jogHolders.isEmpty() || (way == WayOut::LatchView && takes(index)))
            continue;
        c.jogHolders.removeIf([&](const QPair<Holder, int> &p) { return endsHold(way, p.first.source); });
        if (c.jogHolders.isEmpty() && c.decl.on.jog) {
            Scope scope(*this, c.lastSource);
            c.decl.on.jog(0);
        }
        any = true;
    }
    if (any)
        emit changed();
}

void InputPath::resettle()
{
    for (Key &k : m_keysByName) {
        if (k.control >= 0 && isKeyKind(m_controls[size_t(k.control)].decl.kind))
            settle(k);
    }
}

bool InputPath::isHeld(const QString &keyName) const
{
    const Key *k = key(keyName);
    return k && !k->holders.isEmpty();
}

bool InputPath::isLatched(const QString &keyName) const
{
    const Key *k = key(keyName);
    return k && k->holders.contains(Holder{InputSource::Latch, 0});
}

QList<InputPath::Holder> InputPath::holdersOf(const QString &keyName) const
{
    const Key *k = key(keyName);
    return k ? k->holders : QList<Holder>();
}

InputSource InputPath::lastSourceOf(const QWidget *control) const
{
    for (const Control &c : m_controls) {
        if (c.decl.widget == control)
            return c.lastSource;
    }
    return InputSource::Program;
}

void InputPath::noteSource(int index, InputSource source)
{
    if (index >= 0 && index < controlCount())
        m_controls[size_t(index)].lastSource = source;
}

void InputPath::setKeymap(const Keymap &map)
{
    m_keymap = map;
    emit changed();
}

void InputPath::setShowsBindings(bool shown)
{
    if (m_showBindings == shown)
        return;
    m_showBindings = shown;
    emit changed();
}

QString InputPath::nameOfCode(int32_t code)
{
    const KeyTable *table = m_table ? m_table() : nullptr;
    if (!table)
        return {};
    // The names of this window's keys by code, again whenever the table is another one.
    if (table != m_namesTable || table->Count() != m_namesTableCount) {
        m_namesByCode.clear();
        for (const Key &k : std::as_const(m_keysByName)) {
            if (table->contains(k.name))
                m_namesByCode.insert(table->Item(k.name), k.name);
        }
        m_namesTable = table;
        m_namesTableCount = table->Count();
    }
    return m_namesByCode.value(code);
}

void InputPath::onReported(int32_t code, bool held)
{
    emit keyReported(nameOfCode(code), code, held, currentSource());
}

bool InputPath::eventFilter(QObject *watched, QEvent *event)
{
    // Shown, hidden or enabled controls change which marks the drawing shows.
    switch (event->type()) {
    case QEvent::Show:
    case QEvent::Hide:
    case QEvent::EnabledChange:
        if (m_overlay && watched != m_overlay)
            m_overlay->update();
        break;
    default:
        break;
    }
    return false;
}

void InputPath::buildOverlay()
{
    if (m_overlay || !m_window)
        return;
    auto *overlay = new PaintBox(m_window, [this](QPainter &p, const QRect &) {
        QList<InputMark> marks;
        for (const Control &c : m_controls) {
            QWidget *w = c.decl.widget;
            if (!w || !w->isVisible())
                continue;
            InputMark m;
            m.rect = QRect(w->mapTo(m_window, QPoint(0, 0)), w->size());
            const bool jog = c.decl.kind == ControlKind::JogDial || c.decl.kind == ControlKind::JogSlider;
            m.latched = !jog && c.decl.kind != ControlKind::ModeSwitchArea && isLatched(c.decl.keyName);
            auto text = [this](const QString &name) {
                QStringList parts;
                for (int key : m_keymap.keysFor(name))
                    parts << Keymap::keyText(key);
                return parts.join(u'/');
            };
            m.binding = text(c.decl.keyName);
            if (jog)
                m.secondBinding = text(c.decl.otherKeyName);
            if (m.latched || !m.binding.isEmpty() || !m.secondBinding.isEmpty())
                marks << m;
        }
        paintInputMarks(p, marks, m_showBindings);
    });
    overlay->setObjectName(QStringLiteral("inputMarks"));
    overlay->setAttribute(Qt::WA_TransparentForMouseEvents);
    overlay->setGeometry(m_window->rect());
    overlay->raise();
    overlay->show();
    m_overlay = overlay;
    connect(this, &InputPath::changed, overlay, qOverload<>(&QWidget::update));
}

} // namespace tarvisk
