// The COM-style base of the library's stream and progress interfaces: QueryInterface, AddRef
// and Release first, a reference count that starts at 0, and self-destruction at the last
// Release.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstring>

// Same layout as the Windows GUID.
struct SVekGuid {
    uint32_t data1;
    uint16_t data2;
    uint16_t data3;
    uint8_t data4[8];
};

inline bool operator==(const SVekGuid& a, const SVekGuid& b) {
    return std::memcmp(&a, &b, sizeof(SVekGuid)) == 0;
}

constexpr int32_t VEK_S_OK = 0;
constexpr int32_t VEK_E_NOINTERFACE = static_cast<int32_t>(0x80004002u);

// Our interfaces share the prefix {0FB54E7F-61DB-450F-9A50-EDCBBC83F2xx}.
constexpr SVekGuid MakeVekInterfaceId(uint8_t last) {
    return SVekGuid{0x0FB54E7F, 0x61DB, 0x450F, {0x9A, 0x50, 0xED, 0xCB, 0xBC, 0x83, 0xF2, last}};
}

struct IVekUnknown {
    virtual int32_t QueryInterface(const SVekGuid& iid, void** out) = 0;
    virtual uint32_t AddRef() = 0;
    virtual uint32_t Release() = 0;

  protected:
    ~IVekUnknown() = default;
};

// Reference counting for a class implementing one interface. QueryInterface answers only that
// interface's identifier (not IUnknown's); classes with more interfaces override it.
template <class Interface>
class CVekUnknownImp : public Interface {
  public:
    CVekUnknownImp() = default;
    CVekUnknownImp(const CVekUnknownImp&) = delete;
    CVekUnknownImp& operator=(const CVekUnknownImp&) = delete;
    virtual ~CVekUnknownImp() = default;

    int32_t QueryInterface(const SVekGuid& iid, void** out) override {
        if (out == nullptr || !(iid == Interface::kIid)) {
            return VEK_E_NOINTERFACE;
        }
        *out = static_cast<Interface*>(this);
        AddRef();
        return VEK_S_OK;
    }

    uint32_t AddRef() override { return m_refCount.fetch_add(1) + 1; }

    uint32_t Release() override {
        uint32_t left = m_refCount.fetch_sub(1) - 1;
        if (left == 0) {
            delete this;
        }
        return left;
    }

  private:
    std::atomic<uint32_t> m_refCount{0};
};

// Holds one counted reference and drops it when it goes out of scope.
template <class Interface>
class CVekRef {
  public:
    CVekRef() = default;
    explicit CVekRef(Interface* object) : m_object(object) {
        if (m_object) {
            m_object->AddRef();
        }
    }
    CVekRef(const CVekRef&) = delete;
    CVekRef& operator=(const CVekRef&) = delete;
    ~CVekRef() { Reset(); }

    void Reset(Interface* object = nullptr) {
        if (object) {
            object->AddRef();
        }
        if (m_object) {
            m_object->Release();
        }
        m_object = object;
    }
    // Takes over a reference the caller already holds (from QueryInterface, for example).
    void Attach(Interface* object) {
        Reset();
        m_object = object;
    }
    Interface* Get() const { return m_object; }
    Interface* operator->() const { return m_object; }
    explicit operator bool() const { return m_object != nullptr; }

  private:
    Interface* m_object = nullptr;
};
