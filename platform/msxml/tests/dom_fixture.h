// A temporary elevated machine with the platform's DOM server registered, COM initialised,
// and small helpers to hold references and strings.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "msxml6.h"
#include "objbase.h"
#include "oleauto.h"

// Holds one reference.
template <class T>
class Ref
{
public:
    Ref() = default;
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    ~Ref() { Reset(); }
    void Reset()
    {
        if (m_p != nullptr)
            m_p->Release();
        m_p = nullptr;
    }
    T** Put()
    {
        Reset();
        return &m_p;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }
    T* Get() const { return m_p; }
    T* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }

private:
    T* m_p = nullptr;
};

// Holds one BSTR.
class Bstr
{
public:
    Bstr() = default;
    explicit Bstr(const std::u16string& text) : m_b(SysAllocStringLen(text.data(), UINT(text.size()))) {}
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr() { SysFreeString(m_b); }
    BSTR* Put()
    {
        SysFreeString(m_b);
        m_b = nullptr;
        return &m_b;
    }
    BSTR Get() const { return m_b; }
    std::u16string Str() const { return m_b != nullptr ? std::u16string(m_b, SysStringLen(m_b)) : u""; }

private:
    BSTR m_b = nullptr;
};

class DomTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // A new document with the text loaded; the loadXML result and flag are kept.
    void Load(const std::u16string& text);
    // DOM objects alive in the server module.
    static LONG LiveObjects();

    static std::u16string Name(IXMLDOMNode* node);
    static std::u16string Text(IXMLDOMNode* node);
    static std::vector<std::u16string> ChildNames(IXMLDOMNode* node);
    // The child at `index` of `node`; fails the test if there is none.
    static void Child(IXMLDOMNode* node, LONG index, Ref<IXMLDOMNode>& child);
    // The node reached from the document by child indexes.
    void At(const std::vector<LONG>& path, Ref<IXMLDOMNode>& node);

    Ref<IXMLDOMDocument> m_doc;
    HRESULT m_loadResult = E_FAIL;
    VARIANT_BOOL m_loaded = VARIANT_FALSE;
    std::filesystem::path m_machine;
};
