// The calendar library as the program sees it: registered in a registry store of the test's own,
// loaded by its programmatic identifier, and driven through its C interface and real mouse events.

#include "calendar/quillon.h"
#include "platform/ComponentLoader.h"
#include "platform/RegistryStore.h"

#include "CalendarTestSupport.h"
#include "fixtures/TempFolder.h"
#include "util/MallowError.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <cmath>
#include <filesystem>
#include <map>
#include <vector>

#include <dlfcn.h>
#include <sys/stat.h>

namespace quillon {
namespace {

using namespace mallow::registry;
using test::Date;

using Function = QUILLON_HRESULT (*)();

/// A temporary registry store that the library's registration and the loader both use.
class LibraryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        store = folder.File("config/registry");
        ::setenv("MALLOW_REGISTRY", store.c_str(), 1);
        library = ::dlopen(QUILLON_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library, nullptr) << ::dlerror();
    }
    void TearDown() override
    {
        ::unsetenv("MALLOW_REGISTRY");
        if (library)
            ::dlclose(library);
    }

    QUILLON_HRESULT Call(const char* name)
    {
        auto function = reinterpret_cast<Function>(::dlsym(library, name));
        EXPECT_NE(function, nullptr) << name;
        return function ? function() : QUILLON_E_FAIL;
    }

    const QuillonTCalFactory* Factory()
    {
        created = mallow::platform::GetClassObjectByProgID(QUILLON_PROGID_TCAL,
                                                           QUILLON_IID_TCALFACTORY, store);
        return static_cast<const QuillonTCalFactory*>(created.object);
    }

    mallow::test::TempFolder folder;
    std::string store;
    void* library = nullptr;
    mallow::platform::ClassObject created;
};

std::string Default(const Store& store, const std::string& key)
{
    const Value* value = store.Find(HKEY_CLASSES_ROOT, key, "");
    return value ? TextOf(*value) : "(missing)";
}

/// Collects the dates a control reports.
struct Reported
{
    std::vector<double> dates;
    static void Handler(void* context, double dte)
    {
        static_cast<Reported*>(context)->dates.push_back(dte);
    }
};

TEST_F(LibraryTest, RegistersItselfAndIsCreatedByItsIdentifierOnly)
{
    // Something of someone else's in the store survives both registration and its removal.
    Store other(store);
    other.SetValue(HKEY_LOCAL_MACHINE, "Software\\Other", StringValue("Kept", "yes"));
    other.Save();

    ASSERT_EQ(Call("DllRegisterServer"), QUILLON_S_OK);
    Store registered = Store::Load(store);
    const std::string classKey = std::string("CLSID\\") + QUILLON_CLSID_TCAL;
    EXPECT_EQ(Default(registered, "Quillon.tCal\\CLSID"), QUILLON_CLSID_TCAL);
    EXPECT_EQ(Default(registered, classKey + "\\InprocServer32"), QUILLON_LIBRARY);
    EXPECT_EQ(Default(registered, classKey + "\\ProgID"), "Quillon.tCal");
    EXPECT_EQ(Default(registered, classKey + "\\Version"), "1.00");
    EXPECT_TRUE(registered.KeyExists(HKEY_CLASSES_ROOT, classKey + "\\Control"));
    struct stat before
    {
    };
    ASSERT_EQ(::stat(store.c_str(), &before), 0);
    EXPECT_EQ(before.st_mode & 0777, 0600u);

    // Registering again finds everything in place and leaves the file alone.
    ASSERT_EQ(Call("DllRegisterServer"), QUILLON_S_OK);
    struct stat after
    {
    };
    ASSERT_EQ(::stat(store.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);

    const QuillonTCalFactory* factory = Factory();
    ASSERT_NE(factory, nullptr);
    EXPECT_EQ(factory->size, sizeof(QuillonTCalFactory));
    QuillonControl* control = factory->CreateInstance(nullptr);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(Call("DllCanUnloadNow"), QUILLON_S_FALSE);
    factory->Destroy(control);
    EXPECT_EQ(Call("DllCanUnloadNow"), QUILLON_S_OK);

    ASSERT_EQ(Call("DllUnregisterServer"), QUILLON_S_OK);
    const Store unregistered = Store::Load(store);
    EXPECT_FALSE(unregistered.KeyExists(HKEY_CLASSES_ROOT, "Quillon.tCal"));
    EXPECT_FALSE(unregistered.KeyExists(HKEY_CLASSES_ROOT, classKey));
    EXPECT_TRUE(unregistered.KeyExists(HKEY_CLASSES_ROOT, "CLSID"));
    EXPECT_EQ(TextOf(*unregistered.Find(HKEY_LOCAL_MACHINE, "Software\\Other", "Kept")), "yes");
    try {
        Factory();
        FAIL() << "an unregistered control was created";
    } catch (const mallow::MallowError& e) {
        EXPECT_EQ(e.Number(), 429);
        EXPECT_NE(e.Description().find("it is not registered"), std::string::npos);
    }
}

TEST_F(LibraryTest, ADamagedStoreFailsRegistrationWithoutTouchingIt)
{
    std::filesystem::create_directories(folder.File("config"));
    mallow::test::WriteFile(store, "not a registry store\n");
    EXPECT_EQ(Call("DllRegisterServer"), QUILLON_SELFREG_E_CLASS);
    EXPECT_EQ(Call("DllUnregisterServer"), QUILLON_SELFREG_E_CLASS);
    using Text = const char* (*)();
    auto lastError = reinterpret_cast<Text>(::dlsym(library, "QuillonLastError"));
    ASSERT_NE(lastError, nullptr);
    EXPECT_EQ(std::string(lastError()), "The file " + store + " is not a Mallow registry store.");
    EXPECT_EQ(mallow::test::ReadFile(store), "not a registry store\n");
}

TEST_F(LibraryTest, CarriesItsVersionAndExportsOnlyItsInterface)
{
    using Text = const char* (*)();
    auto version = reinterpret_cast<Text>(::dlsym(library, "QuillonVersion"));
    ASSERT_NE(version, nullptr);
    EXPECT_STREQ(version(), "1.00");
    EXPECT_EQ(std::filesystem::canonical(QUILLON_LIBRARY).filename(), "libquillon.so.1.00");
    // The control's own code stays inside the library.
    EXPECT_EQ(::dlsym(library, "_ZN7quillon9tCalLogic10InitializeEd"), nullptr);
    EXPECT_EQ(::dlsym(library, "_ZN7quillon8LocalNowEv"), nullptr);

    using GetClassObject = QUILLON_HRESULT (*)(const char*, const char*, void**);
    auto get = reinterpret_cast<GetClassObject>(::dlsym(library, "DllGetClassObject"));
    ASSERT_NE(get, nullptr);
    void* object = &object;
    EXPECT_EQ(get("{00000000-0000-0000-0000-000000000000}", QUILLON_IID_TCALFACTORY, &object),
              QUILLON_CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(get(QUILLON_CLSID_TCAL, "{00000000-0000-0000-0000-000000000000}", &object),
              QUILLON_E_NOINTERFACE);
    EXPECT_EQ(get(QUILLON_CLSID_TCAL, QUILLON_IID_TCALFACTORY, nullptr), QUILLON_E_INVALIDARG);
    // Class identifiers are compared without case, as they are written either way.
    EXPECT_EQ(get("{6f1a3c52-8d47-4b2e-9c15-3e7d0a84b261}", QUILLON_IID_TCALFACTORY, &object),
              QUILLON_S_OK);
}

TEST_F(LibraryTest, TheControlKeepsItsSizeAndValueThroughItsInterface)
{
    ASSERT_EQ(Call("DllRegisterServer"), QUILLON_S_OK);
    const QuillonTCalFactory* factory = Factory();
    QuillonControl* control = factory->CreateInstance(nullptr);
    ASSERT_NE(control, nullptr);
    auto* widget = static_cast<QWidget*>(factory->Widget(control));
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize fixed(std::lround(2055 * screen->logicalDotsPerInchX() / 1440),
                      std::lround(1980 * screen->logicalDotsPerInchY() / 1440));
    EXPECT_EQ(widget->size(), fixed);
    // Whatever size a host asks for, the control answers with its own.
    widget->setMinimumSize(0, 0);
    widget->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    widget->resize(500, 40);
    widget->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(widget));
    EXPECT_EQ(widget->size(), fixed);
    widget->setMinimumSize(0, 0);
    widget->resize(20, 20);
    EXPECT_EQ(widget->size(), fixed);

    // New: value 0 while the current month is shown.
    EXPECT_EQ(factory->GetValue(control), 0);
    const QString today = QLocale(QLocale::English).toString(QDate::currentDate(), "MMMM yyyy");
    EXPECT_EQ(widget->findChild<QLabel*>("labMonth")->text(), today);

    Reported reported;
    std::vector<std::string> changed;
    factory->ConnectDateChanged(control, &Reported::Handler, &reported);
    factory->ConnectPropertyChanged(
        control,
        [](void* context, const char* name) {
            static_cast<std::vector<std::string>*>(context)->push_back(name);
        },
        &changed);
    const double written = Date(2010, 2, 14, 12, 0);
    EXPECT_EQ(factory->SetValue(control, written), QUILLON_S_OK);
    EXPECT_EQ(reported.dates, std::vector<double>{written});
    EXPECT_EQ(changed, std::vector<std::string>{"Value"});
    EXPECT_EQ(factory->GetValue(control), written);
    EXPECT_EQ(widget->findChild<QLabel*>("labMonth")->text(), "February 2010");
    EXPECT_EQ(factory->SetValue(control, 1e12), QUILLON_E_INVALIDARG);
    EXPECT_EQ(factory->GetValue(control), written);

    // The property bag through the interface: written, then read into a fresh control.
    std::map<std::string, double> bag;
    QuillonPropertyBag hostBag{&bag,
                               [](void* context, const char* name, double defaultValue) {
                                   auto& entries =
                                       *static_cast<std::map<std::string, double>*>(context);
                                   return entries.count(name) ? entries[name] : defaultValue;
                               },
                               [](void* context, const char* name, double value, double) {
                                   (*static_cast<std::map<std::string, double>*>(context))[name] =
                                       value;
                               }};
    EXPECT_EQ(factory->WriteProperties(control, &hostBag), QUILLON_S_OK);
    EXPECT_EQ(bag, (std::map<std::string, double>{{"Value", written}}));
    factory->Destroy(control);

    QuillonControl* loaded = factory->CreateInstance(nullptr);
    EXPECT_EQ(factory->ReadProperties(loaded, &hostBag), QUILLON_S_OK);
    EXPECT_EQ(factory->GetValue(loaded), written);
    EXPECT_EQ(
        static_cast<QWidget*>(factory->Widget(loaded))->findChild<QLabel*>("labMonth")->text(),
        today);
    factory->Destroy(loaded);
}

/// A control shown in a window of its own, as a user sees it.
class ShownControl
{
public:
    explicit ShownControl(const QuillonTCalFactory* factory) : factory(factory)
    {
        control = factory->CreateInstance(nullptr);
        widget = static_cast<QWidget*>(factory->Widget(control));
        factory->ConnectDateChanged(control, &Reported::Handler, &reported);
        widget->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(widget));
    }
    ~ShownControl() { factory->Destroy(control); }
    template <typename T> T* Part(const QString& name) const
    {
        T* part = widget->findChild<T*>(name);
        EXPECT_NE(part, nullptr) << name.toStdString();
        return part;
    }
    QString Month() const { return Part<QLabel>("labMonth")->text(); }

    const QuillonTCalFactory* factory;
    QuillonControl* control;
    QWidget* widget;
    Reported reported;
};

TEST_F(LibraryTest, ClicksOnDaysAndArrowsSelectAndReport)
{
    ASSERT_EQ(Call("DllRegisterServer"), QUILLON_S_OK);
    ShownControl shown(Factory());
    ASSERT_EQ(shown.factory->SetValue(shown.control, Date(2010, 2, 10)), QUILLON_S_OK);
    shown.reported.dates.clear();

    // Any button on a day selects it, a grey one too, and paints it red.
    QTest::mouseClick(shown.Part<QWidget>("labDayNo(4)"), Qt::LeftButton);
    QTest::mouseClick(shown.Part<QWidget>("labDayNo(30)"), Qt::RightButton);
    EXPECT_EQ(shown.reported.dates, (std::vector<double>{Date(2010, 2, 5), Date(2010, 3, 3)}));
    EXPECT_EQ(shown.Month(), "February 2010");
    QLabel* grey = shown.Part<QLabel>("labDayNo(30)");
    EXPECT_EQ(grey->text(), "03");
    EXPECT_EQ(grey->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    EXPECT_EQ(shown.Part<QLabel>("labDayNo(4)")->palette().color(QPalette::WindowText),
              QColor(0, 0, 0));
    EXPECT_EQ(shown.Part<QLabel>("labDay(0)")->text(), "Mon");
    EXPECT_EQ(shown.Part<QLabel>("labDay(6)")->text(), "Sun");

    // Holding the forward arrow with the left button: a step, the grey shape, the slow timer.
    QWidget* forward = shown.Part<QWidget>("labUD(1)");
    auto* timer = shown.widget->findChild<QTimer*>("MonthTimer");
    ASSERT_NE(timer, nullptr);
    QTest::mousePress(forward, Qt::LeftButton);
    EXPECT_EQ(shown.Month(), "March 2010");
    EXPECT_TRUE(shown.Part<QWidget>("UDshape(1)")->isVisible());
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(timer->interval(), 200);
    QTest::mouseRelease(forward, Qt::LeftButton);
    EXPECT_FALSE(shown.Part<QWidget>("UDshape(1)")->isVisible());
    EXPECT_FALSE(timer->isActive());
    EXPECT_EQ(shown.reported.dates.back(), Date(2010, 3, 31)); // cell 30 of March

    // The back arrow with the right button repeats fast.
    QWidget* back = shown.Part<QWidget>("labUD(0)");
    QTest::mousePress(back, Qt::RightButton);
    EXPECT_EQ(timer->interval(), 5);
    EXPECT_TRUE(shown.Part<QWidget>("UDshape(0)")->isVisible());
    for (int wait = 0; wait < 200 && shown.reported.dates.size() < 6; ++wait)
        QTest::qWait(10);
    EXPECT_GE(shown.reported.dates.size(), 6u);
    QTest::mouseRelease(back, Qt::RightButton);
    EXPECT_FALSE(timer->isActive());
    const std::size_t steps = shown.reported.dates.size();
    QTest::qWait(50);
    EXPECT_EQ(shown.reported.dates.size(), steps);

    // Hiding the control while an arrow is held stops the repeat.
    QTest::mousePress(forward, Qt::LeftButton);
    shown.widget->hide();
    EXPECT_FALSE(timer->isActive());
    EXPECT_TRUE(shown.Part<QWidget>("UDshape(1)")->isHidden());
    QTest::mouseRelease(forward, Qt::LeftButton);
}

TEST_F(LibraryTest, TheGridAndOutlineAreDrawnOnEveryRepaint)
{
    ASSERT_EQ(Call("DllRegisterServer"), QUILLON_S_OK);
    ShownControl shown(Factory());
    const double dpiX = shown.widget->logicalDpiX();
    const double dpiY = shown.widget->logicalDpiY();
    const auto x = [&](int twips) { return int(std::lround(twips * dpiX / 1440)); };
    const auto y = [&](int twips) { return int(std::lround(twips * dpiY / 1440)); };
    for (int pass = 0; pass < 2; ++pass) {
        // Between the passes, everything is drawn over and painted again.
        const QImage image = shown.widget->grab().toImage();
        const QColor grey(0xC0, 0xC0, 0xC0);
        EXPECT_EQ(image.pixelColor(x(15 + 285), y(1200)), grey);          // first vertical line
        EXPECT_EQ(image.pixelColor(x(100), y(495 + 240)), grey);          // first horizontal line
        EXPECT_EQ(image.pixelColor(x(1000), y(1965)), QColor(Qt::black)); // outline, bottom
        EXPECT_EQ(image.pixelColor(0, y(1000)), QColor(Qt::black));       // outline, left
        EXPECT_EQ(image.pixelColor(x(160), y(510)), QColor(Qt::white));   // above the first day
        shown.widget->repaint();
    }
}

} // namespace
} // namespace quillon
