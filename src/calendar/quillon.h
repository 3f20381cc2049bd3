/* Quillon: the month calendar control library, libquillon.so, version 1.00.
 *
 * The library is a self-registering component server. A program never links it: it finds the
 * library through the registry store and loads it at run time.
 *
 * Registration
 *   DllRegisterServer() writes the control's registration into the registry store of the user
 *   (the file named by $MALLOW_REGISTRY, else $XDG_CONFIG_HOME/mallow/registry, else
 *   ~/.config/mallow/registry), all under HKEY_CLASSES_ROOT:
 *     Quillon.tCal                      (default) = "tCal"
 *     Quillon.tCal\CLSID                (default) = QUILLON_CLSID_TCAL
 *     CLSID\{clsid}                     (default) = "tCal"
 *     CLSID\{clsid}\InprocServer32      (default) = absolute path of this library
 *     CLSID\{clsid}\ProgID              (default) = "Quillon.tCal"
 *     CLSID\{clsid}\Version             (default) = "1.00"
 *     CLSID\{clsid}\Control             (a key without values: the class is a control)
 *   DllUnregisterServer() removes the keys Quillon.tCal and CLSID\{clsid} with everything below.
 *   Both return QUILLON_S_OK, or QUILLON_SELFREG_E_CLASS when the store cannot be read or
 *   written; QuillonLastError() then says why.
 *
 * Creating a control
 *   A host looks up Quillon.tCal\CLSID and CLSID\{clsid}\InprocServer32, loads the library, and
 *   calls DllGetClassObject(QUILLON_CLSID_TCAL, QUILLON_IID_TCALFACTORY, &object). The object is
 *   a const QuillonTCalFactory, which lives as long as the library is loaded. A QApplication
 *   must exist before CreateInstance is called, and every call happens on its thread.
 *
 * Unloading
 *   DllCanUnloadNow() answers QUILLON_S_OK when no control of the library is alive, else
 *   QUILLON_S_FALSE; a host unloads the library only after S_OK.
 *
 * The control
 *   A tCal is a QWidget of a fixed 2055 by 1980 twips (137 by 132 pixels at 96 dots per inch):
 *   a month of six weeks from Monday with the month's name and two arrows that step the month
 *   (and repeat while held). Clicking a day, stepping the month or setting the value selects a
 *   date and raises DateChanged. Dates are automation dates: days since 30 December 1899, the
 *   fraction being the time of day. A new control shows the current month with today selected
 *   and its value is 0 (30 December 1899) until it is set or read from a property bag.
 */
#ifndef QUILLON_H
#define QUILLON_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef int32_t QUILLON_HRESULT;

/* The library's exported functions; everything else in it is hidden. */
#define QUILLON_API __attribute__((visibility("default")))

#define QUILLON_S_OK ((QUILLON_HRESULT)0)
#define QUILLON_S_FALSE ((QUILLON_HRESULT)1)
#define QUILLON_E_FAIL ((QUILLON_HRESULT)0x80004005u)
#define QUILLON_E_INVALIDARG ((QUILLON_HRESULT)0x80070057u)
#define QUILLON_E_NOINTERFACE ((QUILLON_HRESULT)0x80004002u)
#define QUILLON_CLASS_E_CLASSNOTAVAILABLE ((QUILLON_HRESULT)0x80040111u)
#define QUILLON_SELFREG_E_CLASS ((QUILLON_HRESULT)0x80040201u)

#define QUILLON_VERSION "1.00"
#define QUILLON_PROGID_TCAL "Quillon.tCal"
#define QUILLON_CLSID_TCAL "{6F1A3C52-8D47-4B2E-9C15-3E7D0A84B261}"
/* The interface below; a changed interface gets a new identifier. */
#define QUILLON_IID_TCALFACTORY "{6F1A3C53-8D47-4B2E-9C15-3E7D0A84B261}"

/* One tCal control. The handle is valid until the control is destroyed, by Destroy or by the
 * deletion of the widget that was given as its parent. */
typedef struct QuillonControl QuillonControl;

/* DateChanged(dte): raised after every selection, with the selected date. It may carry a time
 * of day; hosts use its date part. A handler must not destroy the control that raised it; it
 * may hide or close the window that holds it and destroy the control afterwards. */
typedef void (*QuillonDateChangedHandler)(void* context, double dte);

/* Raised when a persisted property changes ("Value"), so that the host saves it. */
typedef void (*QuillonPropertyChangedHandler)(void* context, const char* name);

/* The host's property bag. ReadProperty returns the stored value, or defaultValue when there is
 * none; WriteProperty may leave out a value equal to its default. */
typedef struct QuillonPropertyBag
{
    void* context;
    double (*ReadProperty)(void* context, const char* name, double defaultValue);
    void (*WriteProperty)(void* context, const char* name, double value, double defaultValue);
} QuillonPropertyBag;

/* The class object of tCal. */
typedef struct QuillonTCalFactory
{
    /* sizeof(QuillonTCalFactory) as the library was built */
    uint32_t size;
    /* Creates a control as a child of parentWidget (a QWidget*, or NULL for a window of its
     * own); NULL when no QApplication exists. */
    QuillonControl* (*CreateInstance)(void* parentWidget);
    void (*Destroy)(QuillonControl* control);
    /* The control's QWidget*, to place and show it. */
    void* (*Widget)(QuillonControl* control);
    /* One handler each; a later call replaces the earlier one, NULL disconnects. */
    void (*ConnectDateChanged)(QuillonControl* control, QuillonDateChangedHandler handler,
                               void* context);
    void (*ConnectPropertyChanged)(QuillonControl* control, QuillonPropertyChangedHandler handler,
                                   void* context);
    /* Value: reading returns the stored value; writing stores New_Value, shows its month with
     * it selected and raises DateChanged; a value that is no date from the years 100 to 9999
     * is refused with QUILLON_E_INVALIDARG and changes nothing. */
    double (*GetValue)(QuillonControl* control);
    QUILLON_HRESULT (*SetValue)(QuillonControl* control, double New_Value);
    /* Persistence: one entry, "Value", default 0. Reading sets the stored value only; the
     * control keeps showing its month. A stored value that is no date gives
     * QUILLON_E_INVALIDARG and leaves the value as it was. */
    QUILLON_HRESULT (*ReadProperties)(QuillonControl* control, const QuillonPropertyBag* bag);
    QUILLON_HRESULT (*WriteProperties)(QuillonControl* control, const QuillonPropertyBag* bag);
} QuillonTCalFactory;

QUILLON_API QUILLON_HRESULT DllRegisterServer(void);
QUILLON_API QUILLON_HRESULT DllUnregisterServer(void);
/* QUILLON_CLASS_E_CLASSNOTAVAILABLE for another class, QUILLON_E_NOINTERFACE for another
 * interface, QUILLON_E_INVALIDARG for a NULL argument. */
QUILLON_API QUILLON_HRESULT DllGetClassObject(const char* clsid, const char* iid, void** object);
QUILLON_API QUILLON_HRESULT DllCanUnloadNow(void);

/* "1.00" */
QUILLON_API const char* QuillonVersion(void);
/* Why the last registration call of this thread failed; "" after a success. */
QUILLON_API const char* QuillonLastError(void);

#ifdef __cplusplus
}
#endif

#endif
