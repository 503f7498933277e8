// libFuzzer target for the connection option string of ProvController::FinalConnect. The input is
// the option string, read once as UTF-8 and once as Latin-1. The windows are fakes that only record
// what the provider asks of them, so no QApplication is needed and each run is cheap.
//
// Checked for every input:
// - the status is 0 or one of the conversion errors 5, 6, 9, 13;
// - a failure leaves g_Controller as it was, does not set element 2 and creates no window;
// - a success publishes the controller, sets element 2 to True and connects exactly the window of
//   the recorded pendant type, with the recorded default mode and the state selector shown exactly
//   when "Debug" was seen; the message source follows the pendant type;
// - a second FinalConnect with the same string on the same controller gives the same status and
//   leaves the same options (a key given twice takes the later value, so parsing is idempotent).

#include "common/proverror.h"
#include "common/variant.h"
#include "provider/pendantwindow.h"
#include "provider/provcontroller.h"
#include "provider/provstate.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace tarvisk;

namespace {

void fail(const char *what)
{
    std::fprintf(stderr, "options_fuzzer: %s\n", what);
    std::abort();
}

#define CHECK(cond)                                                                                                    \
    do {                                                                                                               \
        if (!(cond))                                                                                                   \
            fail(#cond);                                                                                               \
    } while (0)

class FakeWindow : public IPendantWindow
{
public:
    explicit FakeWindow(PendantKind kind)
        : m_kind(kind)
    {}

    QWidget *widget() override { return nullptr; }
    PendantKind kind() const override { return m_kind; }
    void Load() override { m_loaded = true; }
    bool isLoaded() const override { return m_loaded; }
    void Unload() override { m_loaded = false; }
    void Connect(int32_t lDefaultMode) override
    {
        ++connects;
        lastMode = lDefaultMode;
    }
    void setDebugMode(bool debugMode) override
    {
        if (m_kind != PendantKind::TPLess)
            IPendantWindow::setDebugMode(debugMode);
        this->debugMode = debugMode;
    }
    void setStateSelectorVisible(bool visible) override { m_selector = visible; }
    bool isStateSelectorVisible() const override { return m_selector; }

    int connects = 0;
    int32_t lastMode = 0;
    bool debugMode = false;

private:
    PendantKind m_kind;
    bool m_loaded = false;
    bool m_selector = false;
};

constexpr PendantKind kKinds[] = {PendantKind::Old, PendantKind::Standard, PendantKind::Mini, PendantKind::TPLess};

void registerFakes()
{
    for (PendantKind kind : kKinds)
        registerPendantWindow(kind, [kind] { return std::make_unique<FakeWindow>(kind); });
}

FakeWindow *fake(PendantKind kind)
{
    return static_cast<FakeWindow *>(existingPendantWindow(kind));
}

int windowCount()
{
    int n = 0;
    for (PendantKind kind : kKinds)
        n += existingPendantWindow(kind) != nullptr;
    return n;
}

bool allowedStatus(int32_t status)
{
    return status == 0 || status == ErrInvalidArgument || status == ErrOverflow || status == ErrSubscript ||
           status == ErrTypeMismatch;
}

struct Snapshot
{
    int32_t pendantType;
    int32_t defaultMode;
    QString stateDestination;
    bool debug;
    bool isPellino;
    int32_t tpLessInterval;

    static Snapshot of(const ProvController &c)
    {
        return {c.pendantType(), c.defaultMode(), c.stateDestination(), c.debugFlag(), g_IsPellino, g_TPLessInterval};
    }
    bool operator==(const Snapshot &) const = default;
};

QString expectedSource(int32_t type)
{
    switch (pendantKindForType(type)) {
    case PendantKind::Mini:
        return QStringLiteral("26");
    case PendantKind::TPLess:
        return QString();
    default:
        return QStringLiteral("17");
    }
}

void checkOne(const QString &options)
{
    resetProcessState();
    const auto before = std::make_shared<ProvController>();
    g_Controller = before;
    const auto controller = std::make_shared<ProvController>();

    Variant parameters = Variant::array({Variant(), Variant(options), Variant()});
    const int32_t status = controller->FinalConnect(parameters);
    CHECK(allowedStatus(status));
    CHECK(parameters.upperBound() == 2);
    CHECK(parameters.at(1) == Variant(options));
    if (status != 0) {
        CHECK(g_Controller == before);
        CHECK(parameters.at(2).isEmpty());
        CHECK(windowCount() == 0);
        CHECK(controller->source().isEmpty());
    } else {
        CHECK(g_Controller == controller);
        CHECK(parameters.at(2) == Variant(true));
        const PendantKind kind = pendantKindForType(controller->pendantType());
        FakeWindow *window = fake(kind);
        CHECK(window != nullptr);
        CHECK(windowCount() == 1);
        CHECK(window->isLoaded());
        CHECK(window->connects == 1);
        CHECK(window->lastMode == controller->defaultMode());
        CHECK(window->isStateSelectorVisible() == controller->debugFlag());
        if (kind == PendantKind::TPLess)
            CHECK(window->debugMode == controller->debugFlag());
        CHECK(controller->source() == expectedSource(controller->pendantType()));
        CHECK(controller->queuedMessages() == 0);
    }

    // Again on top of what the first call left: the same outcome and the same options.
    const Snapshot first = Snapshot::of(*controller);
    Variant again = Variant::array({Variant(), Variant(options), Variant()});
    const int32_t status2 = controller->FinalConnect(again);
    CHECK(status2 == status);
    CHECK(Snapshot::of(*controller) == first);
    if (status == 0) {
        CHECK(windowCount() == 1);
        CHECK(fake(pendantKindForType(controller->pendantType()))->connects == 2);
        CHECK(controller->FinalDisconnect() == 0);
        CHECK(!g_Controller);
        CHECK(windowCount() == 0);
        // State message 0, with its addressed copy first when a state destination was given.
        CHECK(controller->queuedMessages() == (controller->stateDestination().isEmpty() ? 1u : 2u));
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    registerFakes();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const char *text = reinterpret_cast<const char *>(data);
    checkOne(QString::fromUtf8(text, qsizetype(size)));
    checkOne(QString::fromLatin1(text, qsizetype(size)));
    resetProcessState();
    return 0;
}
