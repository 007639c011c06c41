// Records of a Java class's members, as the class-info walker reports them to the proxy
// generator: MethodDescriptor (a method or constructor), FieldDescriptor (a field with its
// constant value) and ConstValue (the value of a ConstantValue attribute and its C++ literal).
//
// Sets of method and field records are ordered by the member key: the name immediately
// followed by the descriptor, compared as byte strings. Two records with the same key are the
// same set element whatever their flags.
#pragma once

#include "JavaTypes.h"

#include <cstdint>
#include <string>

// What the records of methods and fields share: the member's name and its access flags.
class MemberRecord {
 public:
  // The member name; "<init>" for a constructor.
  void setName(std::string name) { m_strName = std::move(name); }
  std::string getName() const { return m_strName; }
  void setAccessFlags(uint16_t flags) { m_nAccessFlags = flags; }
  uint16_t getAccessFlags() const { return m_nAccessFlags; }

  bool isPublic() const { return (m_nAccessFlags & kAccPublic) != 0; }
  bool isPrivate() const { return (m_nAccessFlags & kAccPrivate) != 0; }
  bool isProtected() const { return (m_nAccessFlags & kAccProtected) != 0; }
  bool isStatic() const { return (m_nAccessFlags & kAccStatic) != 0; }
  bool isFinal() const { return (m_nAccessFlags & kAccFinal) != 0; }

  virtual ~MemberRecord() = default;

 protected:
  MemberRecord() = default;
  MemberRecord(const MemberRecord& other) = default;
  MemberRecord& operator=(const MemberRecord& other) = default;

  // The ordering of the records compares the name in place.
  std::string m_strName;
  uint16_t m_nAccessFlags = 0;
};

class MethodDescriptor : public MemberRecord {
 public:
  // The method descriptor as in the class file, such as (ILjava/lang/String;)V.
  void setSignature(std::string signature) { m_strSignature = std::move(signature); }
  std::string getSignature() const { return m_strSignature; }

  bool isNative() const { return (m_nAccessFlags & kAccNative) != 0; }
  bool isAbstract() const { return (m_nAccessFlags & kAccAbstract) != 0; }

  // Orders by name + descriptor.
  bool operator<(const MethodDescriptor& other) const;

 private:
  std::string m_strSignature;
};

// The value of a field's ConstantValue attribute.
class ConstValue {
 public:
  // Kind codes.
  enum Kind : uint8_t {
    kNone = 0,
    kString = 1,
    kWString = 2,
    kInt = 3,
    kFloat = 4,
    kLong = 5,
    kDouble = 6,
  };

  // The second value part, filled by normalize().
  struct ValuePart {
    uint64_t number = 0;
    std::string text;
    std::u16string wtext;
  };

  ConstValue() = default;
  explicit ConstValue(std::string value);
  explicit ConstValue(std::u16string value);
  explicit ConstValue(int32_t value);
  explicit ConstValue(float value);
  explicit ConstValue(int64_t value);
  explicit ConstValue(double value);
  // Copies kind, strings and number; the second value part starts empty.
  ConstValue(const ConstValue& other);
  // Copies everything, the second value part included.
  ConstValue& operator=(const ConstValue& other);
  virtual ~ConstValue() = default;

  uint8_t getKind() const { return m_nKind; }

  const std::string& getString() const { return m_strValue; }
  const std::u16string& getWString() const { return m_wstrValue; }
  int32_t getInt() const;
  float getFloat() const;
  int64_t getLong() const;
  double getDouble() const;

  // The value as the text of a C++ literal: a string as it is, a wide string narrowed to
  // UTF-8, an int in decimal, a long in decimal followed by l (Long.MIN_VALUE as
  // (-9223372036854775807l-1)), a float with 9 and a double with 17 significant digits (so
  // that both read back exactly); an empty text for no value and for NaN and infinities.
  // Formatting does not depend on the locale.
  std::string toLiteral() const;

  // Fills the second value part with a copy of the value (nothing for NaN, infinities and
  // no value) and returns it.
  const ValuePart& normalize();

 private:
  void assignValuePart(const ValuePart& part) { m_oNormalized = part; }

  std::string m_strValue;
  std::u16string m_wstrValue;
  // int: low 32 bits; float: its bits in the low 32 bits; long: all 64; double: its 64 bits.
  uint64_t m_nNumber = 0;
  ValuePart m_oNormalized;
  uint8_t m_nKind = kNone;
};

class FieldDescriptor : public MemberRecord {
 public:
  // The field descriptor (the field's type as in the class file: I, Ljava/lang/String;, [B).
  void setType(std::string type) { m_strType = std::move(type); }
  std::string getType() const { return m_strType; }
  void setConstValue(const ConstValue& value) { m_oConstValue = value; }
  ConstValue& getConstValue() { return m_oConstValue; }
  const ConstValue& getConstValue() const { return m_oConstValue; }

  // Orders by name + descriptor.
  bool operator<(const FieldDescriptor& other) const;

 private:
  std::string m_strType;
  ConstValue m_oConstValue;
};
