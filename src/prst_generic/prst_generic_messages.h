#pragma once

// Every user-visible text of the persistent object model, in one place.
// Texts with "%1", "%2" take their arguments in that order.
struct CPrstGenericMessages {
    static constexpr const char* module = "prst_generic";

    // Sessions and transactions.
    static constexpr const char* noTransaction = "No database transaction is open for the persistent objects.";
    static constexpr const char* transactionOpen = "A database transaction is already open for the persistent objects.";
    static constexpr const char* noStatement = "The persistent objects need the statement '%1' in the statement file.";

    // Look-ups.
    static constexpr const char* noAccessOrMissing = "You have no right to access the object or it doesn't exist.";
    static constexpr const char* objectNotFound = "No object %1 of class %2 exists.";
    static constexpr const char* cannotWriteObject = "Cannot write object %1 of class %2.";
    static constexpr const char* notSaved = "The object has never been saved.";

    // Text forms.
    static constexpr const char* cannotSetAttribute = "Cannot set attribute '%1' from text.";
    static constexpr const char* invalidValue = "Value '%1' is not valid.";

    // Memberships.
    static constexpr const char* cannotSerializeSecured = "Cannot serialize secured object from text.";
    static constexpr const char* domainDoesNotExist = "Domain '%1' does not exist.";
    static constexpr const char* cannotSerializeDomain = "Cannot serialize domain to text.";
    static constexpr const char* domainInconsistency = "Database inconsistency with %1 matches for domain id %2.";

    // Domains and groups.
    static constexpr const char* cannotSetDomain = "Cannot set domain record from text.";
    static constexpr const char* illegalDomainType = "Illegal domain type '%1'.";
    static constexpr const char* domainTypeNotDefined = "Domain type not defined.";
    static constexpr const char* groupDoesNotExist = "Domain group '%1' does not exist.";
    static constexpr const char* missingName = "Missing key 'name'.";
    static constexpr const char* cannotSetGroup = "Cannot set domain group record from text.";

    // Accounts and their access controls.
    static constexpr const char* cannotSetAccount = "Failed to set an account record from text.";
    static constexpr const char* cannotSetAcl = "Cannot set account record from text.";
    static constexpr const char* notADomainName = "Value '%1' is not a valid domain name.";
    static constexpr const char* notANumericDomainId = "Value '%1' is not a numeric domain id.";
    static constexpr const char* notADomainId = "Value '%1' is not a valid domain ID.";
    static constexpr const char* notAmongRoles = "Domain '%1' cannot be part of attribute 'min_create_rights'.";
    static constexpr const char* rolesSubset = "Domain must be a subset of the existing roles: '%1'.";
    static constexpr const char* cannotSetAccessControl = "Failed to set an access control record from text.";
    static constexpr const char* missingDomainIdKey = "Missing 'domain_id' key.";
    static constexpr const char* missingAccessIdKey = "Missing 'access_id' key.";

    // Roles and capabilities.
    static constexpr const char* cannotSetRights = "Failed to set a rights record from text.";
    static constexpr const char* missingRightsKey = "Missing 'rights' key.";
    static constexpr const char* cannotSetRole = "Cannot set role record from text.";
    static constexpr const char* roleWithoutDomain = "The role has no domain: give it a name or a domain_oid.";

    // SQL and SNMP queries, their groups, address records.
    static constexpr const char* cannotSetQuery = "Cannot set query record from text.";
    static constexpr const char* queryGroupDoesNotExist = "Query group '%1' does not exist.";
    static constexpr const char* badQueryArgument = "Argument '%1' is not of the form name:type.";
    static constexpr const char* cannotWriteAddress = "Cannot write an address record.";
    static constexpr const char* addressNotSet = "The record holds no address.";

    // Change events.
    static constexpr const char* cannotMakeEvent = "Cannot record the change of a persistent object.";
    static constexpr const char* unknownEventType = "'%1' is not an event type (add, del, modify or control).";

    // The login look-up.
    static constexpr const char* loginFailure = "Login failure for user '%1'.";
    static constexpr const char* noSuchUser = "No such user account.";
    static constexpr const char* noRoleForDomain = "Unable to find role matching domain ID %1.";
    static constexpr const char* foreignKeyProblem =
        "There is an internal database error caused by a foreign key problem.";

    // Factories.
    static constexpr const char* unknownClass = "Cannot create an object of class '%1'.";
    static constexpr const char* noSuchClass = "No such persistent class is registered.";
};
