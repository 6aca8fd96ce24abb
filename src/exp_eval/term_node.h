#pragma once

#include "exp_eval/node_base.h"
#include "standard/variant.h"
#include "standard/variant_type.h"

// A terminal node: a constant of one value type. The type parameter keeps
// one node class per value type (the factory chooses by the operand's type);
// the aliases below name them.
template <osk::CVariantType::data_type Type>
class CTermNode : public osk::CNodeBase {
public:
    CTermNode(const osk::CExpEval* evaluator, const osk::CVariant& value, bool functionName = false)
        : osk::CNodeBase(evaluator), _value(value), _functionName(functionName)
    {
    }

    bool interpret(osk::CVariant& value) const override
    {
        value = _value;
        return true;
    }
    bool isFunctionName() const override { return _functionName; }
    const osk::CVariant& value() const { return _value; }

    static constexpr osk::CVariantType::data_type valueType = Type;

private:
    osk::CVariant _value;
    bool _functionName;
};

using CUnknownTermNode = CTermNode<osk::CVariantType::t_unknown>;
using CIPAddressTermNode = CTermNode<osk::CVariantType::t_ipaddress>;
using CBooleanTermNode = CTermNode<osk::CVariantType::t_boolean>;
using CTimeTermNode = CTermNode<osk::CVariantType::t_time>;
using CStringTermNode = CTermNode<osk::CVariantType::t_string>;
using CHexStoreTermNode = CTermNode<osk::CVariantType::t_hexstore>;
using CIntegerTermNode = CTermNode<osk::CVariantType::t_integer>;
using CEndpointTermNode = CTermNode<osk::CVariantType::t_endpoint>;
using CUIntegerTermNode = CTermNode<osk::CVariantType::t_uinteger>;
