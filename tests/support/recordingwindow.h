#pragma once

#include "provider/pendantwindow.h"

#include <QStringList>
#include <QWidget>

namespace tarvisk::testing {

// A pendant window for provider tests: a real top-level widget that records every
// contract call it gets and offers the operations of the kind it stands for.
class RecordingWindow : public QWidget, public tarvisk::IPendantWindow
{
public:
    explicit RecordingWindow(tarvisk::PendantKind kind)
        : m_kind(kind)
    {
        resize(100, 200);
    }

    QWidget *widget() override { return this; }
    tarvisk::PendantKind kind() const override { return m_kind; }
    void Load() override
    {
        if (!m_loaded)
            calls << QStringLiteral("Load");
        m_loaded = true;
    }
    bool isLoaded() const override { return m_loaded; }
    void Unload() override
    {
        calls << QStringLiteral("Unload");
        m_loaded = false;
    }
    void Connect(int32_t mode) override { calls << QStringLiteral("Connect %1").arg(mode); }
    void Disconnect() override { calls << QStringLiteral("Disconnect"); }
    void SetLED(tarvisk::Variant &v) override { offer("SetLED", v); }
    void SetBeep(tarvisk::Variant &v) override { offer("SetBeep", v); }
    tarvisk::Variant GetKeyState() override
    {
        offer("GetKeyState", {});
        return tarvisk::Variant(QByteArray(8, '\x01'));
    }
    void SetInprocEventKey(tarvisk::Variant &v) override { offer("SetInprocEventKey", v); }
    tarvisk::Variant GetInprocEventKey() override
    {
        offer("GetInprocEventKey", {});
        return tarvisk::Variant(QByteArray(8, '\xff'));
    }
    void SetLCD(tarvisk::Variant &v) override
    {
        if (m_kind != tarvisk::PendantKind::Mini)
            tarvisk::IPendantWindow::SetLCD(v);
        offer("SetLCD", v);
    }
    void DrawDisplay(tarvisk::Variant &v) override
    {
        if (m_kind != tarvisk::PendantKind::Mini)
            tarvisk::IPendantWindow::DrawDisplay(v);
        offer("DrawDisplay", v);
    }
    void setDebugMode(bool on) override
    {
        if (m_kind != tarvisk::PendantKind::TPLess)
            tarvisk::IPendantWindow::setDebugMode(on);
        calls << QStringLiteral("DebugMode %1 loaded=%2").arg(on).arg(m_loaded);
    }
    void setStateSelectorVisible(bool v) override
    {
        m_selector = v;
        calls << QStringLiteral("StateSelector %1").arg(v);
    }
    bool isStateSelectorVisible() const override { return m_selector; }

    QStringList calls;
    tarvisk::Variant lastParameter;

private:
    void offer(const char *name, const tarvisk::Variant &v)
    {
        if (m_kind == tarvisk::PendantKind::TPLess)
            tarvisk::raiseError(tarvisk::ErrNotSupported);
        calls << QString::fromLatin1(name);
        lastParameter = v;
        // Windows may change the parameter they get; the host must not see it.
        if (v.type() == tarvisk::Variant::Type::Array && v.upperBound() >= 0)
            const_cast<tarvisk::Variant &>(v).setAt(0, tarvisk::Variant("changed"));
    }

    tarvisk::PendantKind m_kind;
    bool m_loaded = false;
    bool m_selector = false;
};

} // namespace tarvisk::testing
