// Shared ownership of the objects that the class builders link together: constant-pool entries,
// constant pools and member builders.
//
// An object that is shared this way carries a back-pointer to its one RefHolder (null until the
// first handle is made), so every handle to the object, however it was made (from another handle
// or from the raw pointer), shares one holder and one count. The last handle to go destroys the
// holder and with it the object. Counts are plain integers: the builders run on one thread.
//
// A shared class names the base that holds the back-pointer as `RefBase` and befriends
// RefHandle; handles of derived classes share the holder of that base:
//
//   class ConstantPoolEntry { public: typedef ConstantPoolEntry RefBase; ...
//       template <class> friend class RefHandle;
//       RefHolder<ConstantPoolEntry>* holder = nullptr; };
//
//   RefHandle<ClassEntry> c(new ClassEntry(5));    // count 1
//   RefHandle<ConstantPoolEntry> e(c);             // count 2, same holder
//   RefHandle<ConstantPoolEntry> f(c.get());       // count 3: found again through the back-pointer
#pragma once

#include <cstdint>
#include <type_traits>
#include <utility>

template <class T>
class RefHolder {
 public:
  explicit RefHolder(T* object) : pointee(object), count(1) {}
  // Destroys the pointee through its virtual destructor.
  virtual ~RefHolder() { delete pointee; }
  RefHolder(const RefHolder&) = delete;
  RefHolder& operator=(const RefHolder&) = delete;

  T* pointee;
  int32_t count;
};

// A holder that keeps its object inside itself, so that the two take one allocation
// (RefHandle::make); the object goes with the holder.
template <class T, class Object>
class InlineRefHolder final : public RefHolder<T> {
 public:
  template <class... Args>
  explicit InlineRefHolder(Args&&... args) : RefHolder<T>(nullptr), object(std::forward<Args>(args)...) {
    this->pointee = &object;
  }
  ~InlineRefHolder() override { this->pointee = nullptr; }

  Object object;
};

template <class T>
class RefHandle {
 public:
  typedef typename T::RefBase Base;

  RefHandle() noexcept = default;
  RefHandle(std::nullptr_t) noexcept {}
  // A handle of the object: its holder when it has one (one more count), else a new holder.
  RefHandle(T* object) { attach(object); }
  RefHandle(const RefHandle& other) noexcept : m_pHolder(other.m_pHolder) { retain(); }
  RefHandle(RefHandle&& other) noexcept : m_pHolder(other.m_pHolder) { other.m_pHolder = nullptr; }
  // From a handle of a derived class: the same holder.
  template <class U,
            class = typename std::enable_if<std::is_convertible<U*, T*>::value && !std::is_same<U, T>::value>::type>
  RefHandle(const RefHandle<U>& other) noexcept : m_pHolder(other.holder()) {
    retain();
  }
  ~RefHandle() { release(m_pHolder); }

  // Takes the new reference first, then lets the old one go; nothing changes when both name
  // one holder.
  RefHandle& operator=(const RefHandle& other) noexcept {
    if (other.m_pHolder != m_pHolder) {
      RefHolder<Base>* old = m_pHolder;
      m_pHolder = other.m_pHolder;
      retain();
      release(old);
    }
    return *this;
  }
  RefHandle& operator=(RefHandle&& other) noexcept {
    if (this != &other) {
      RefHolder<Base>* old = m_pHolder;
      m_pHolder = other.m_pHolder;
      other.m_pHolder = nullptr;
      if (old != m_pHolder)
        release(old);
      else if (old)
        --old->count;
    }
    return *this;
  }
  RefHandle& operator=(T* object) {
    RefHandle taken(object);
    return *this = taken;
  }

  // A handle of a new Object made from the arguments, held with it in one allocation.
  template <class Object, class... Args>
  static RefHandle make(Args&&... args) {
    static_assert(std::is_convertible<Object*, T*>::value, "the object must be a T");
    auto* holder = new InlineRefHolder<Base, Object>(std::forward<Args>(args)...);
    Base* base = &holder->object;
    base->holder = holder;
    RefHandle handle;
    handle.m_pHolder = holder;
    return handle;
  }

  T* get() const noexcept { return m_pHolder ? static_cast<T*>(m_pHolder->pointee) : nullptr; }
  T* operator->() const noexcept { return get(); }
  T& operator*() const noexcept { return *get(); }
  explicit operator bool() const noexcept { return m_pHolder != nullptr; }
  bool isNull() const noexcept { return m_pHolder == nullptr; }

  // Handles are equal when they share one holder (both null included).
  template <class U>
  bool operator==(const RefHandle<U>& other) const noexcept {
    return static_cast<const void*>(m_pHolder) == static_cast<const void*>(other.holder());
  }
  template <class U>
  bool operator!=(const RefHandle<U>& other) const noexcept {
    return !(*this == other);
  }

  // The holder's count; 0 for the null handle.
  int32_t useCount() const noexcept { return m_pHolder ? m_pHolder->count : 0; }
  RefHolder<Base>* holder() const noexcept { return m_pHolder; }

  // A handle of the same object as a U, or the null handle when the object is no U.
  template <class U>
  RefHandle<U> as() const {
    U* object = dynamic_cast<U*>(static_cast<Base*>(get()));
    return object ? RefHandle<U>(object) : RefHandle<U>();
  }

  void reset() noexcept {
    release(m_pHolder);
    m_pHolder = nullptr;
  }

 private:
  void attach(T* object) {
    if (!object) return;
    Base* base = object;
    if (base->holder) {
      ++base->holder->count;
    } else {
      base->holder = new RefHolder<Base>(base);
    }
    m_pHolder = base->holder;
  }
  void retain() noexcept {
    if (m_pHolder) ++m_pHolder->count;
  }
  static void release(RefHolder<Base>* holder) noexcept {
    if (holder && --holder->count == 0) delete holder;
  }

  RefHolder<Base>* m_pHolder = nullptr;
};
