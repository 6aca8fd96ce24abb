-- Domains, domain groups, accounts and the access controls that put
-- accounts into domains (device accounts) or roles (user accounts).

CREATE TABLE osk_domain_name_id (
    PK BIGINT NOT NULL PRIMARY KEY,
    OID OSK_OID UNIQUE,
    DOMAIN_ID BIGINT NOT NULL,
    NAME OSK_NAME NOT NULL
);
CREATE INDEX osk_domain_name_id_domain ON osk_domain_name_id (DOMAIN_ID);
CREATE INDEX osk_domain_name_id_name ON osk_domain_name_id (NAME);

-- DOMAIN_TYPE: 0 device domain, 1 role.
CREATE TABLE osk_domains (
    PK BIGINT NOT NULL PRIMARY KEY,
    OID OSK_OID UNIQUE,
    MOD_TIME TIMESTAMP,
    SECURED_REF OSK_FOREIGN_KEY,
    SECURED_REF_CL COMPUTED BY ('osk_secured_object'),
    PRIORITY BIGINT DEFAULT 0 NOT NULL,
    NAME OSK_NAME NOT NULL UNIQUE,
    DESCRIPTION OSK_MEMO,
    MDATA OSK_MEMO,
    DOMAIN_TYPE INTEGER DEFAULT 0 NOT NULL,
    NAME_ID_REF OSK_FOREIGN_KEY,
    NAME_ID_REF_CL COMPUTED BY ('osk_domain_name_id')
);
CREATE INDEX osk_domains_type ON osk_domains (DOMAIN_TYPE);

CREATE TABLE osk_domain_groups (
    PK BIGINT NOT NULL PRIMARY KEY,
    OID OSK_OID UNIQUE,
    MOD_TIME TIMESTAMP,
    SECURED_REF OSK_FOREIGN_KEY,
    SECURED_REF_CL COMPUTED BY ('osk_secured_object'),
    NAME OSK_NAME NOT NULL UNIQUE,
    DESCRIPTION OSK_MEMO
);

-- Domains and domain groups, many to many and ordered on both sides: the
-- group is the source (BI_SRC_REF, its order DEST_SEQ_KEY), the domain the
-- destination (BI_DEST_REF, its order DEST_EXT_SEQ_KEY).
CREATE TABLE osk_bi_domgrp_links (
    PK BIGINT NOT NULL PRIMARY KEY,
    OID OSK_OID UNIQUE,
    SRC_ATTR_NAME OSK_ATTR_NAME NOT NULL,
    SRC_ATTR_REF BIGINT,
    DEST_ATTR_NAME OSK_ATTR_NAME NOT NULL,
    DEST_ATTR_REF BIGINT,
    BI_SRC_REF BIGINT NOT NULL,
    BI_DEST_REF BIGINT NOT NULL,
    DEST_SEQ_KEY BIGINT DEFAULT 0 NOT NULL,
    DEST_EXT_SEQ_KEY BIGINT DEFAULT 0 NOT NULL
);
CREATE INDEX osk_bi_domgrp_links_src ON osk_bi_domgrp_links (SRC_ATTR_NAME, BI_SRC_REF);
CREATE INDEX osk_bi_domgrp_links_dest ON osk_bi_domgrp_links (DEST_ATTR_NAME, BI_DEST_REF);

CREATE TABLE osk_accounts (
    PK BIGINT NOT NULL PRIMARY KEY,
    OID OSK_OID UNIQUE,
    MOD_TIME TIMESTAMP,
    SECURED_REF OSK_FOREIGN_KEY,
    SECURED_REF_CL COMPUTED BY ('osk_secured_object'),
    NAME OSK_NAME NOT NULL,
    DESCRIPTION OSK_MEMO,
    ENABLED OSK_FLAG,
    ACLASS OSK_NAME,
    RECONFIG_TIME TIMESTAMP,
    REPROV_TIME TIMESTAMP,
    SUBSCRIBER_ID OSK_NAME,
    SUBSCRIPTION_ID OSK_NAME
);
CREATE INDEX osk_accounts_name ON osk_accounts (NAME);

-- PASS holds the enciphered hexadecimal text of the password;
-- MIN_CREATE_RIGHTS the domain ids joined by ",".
CREATE TABLE osk_user_accounts (
    PK BIGINT NOT NULL PRIMARY KEY,
    OID OSK_OID UNIQUE,
    MOD_TIME TIMESTAMP,
    SECURED_REF OSK_FOREIGN_KEY,
    SECURED_REF_CL COMPUTED BY ('osk_secured_object'),
    NAME OSK_NAME NOT NULL UNIQUE,
    ENABLED OSK_FLAG,
    DESCRIPTION OSK_MEMO,
    PASS OSK_MEMO,
    LOCALE OSK_NAME,
    MIN_CREATE_RIGHTS OSK_MEMO
);

CREATE TABLE osk_access_control (
    PK BIGINT NOT NULL PRIMARY KEY,
    OID OSK_OID UNIQUE,
    MOD_TIME TIMESTAMP,
    DOMAIN_ID BIGINT NOT NULL,
    ACCESS_ID BIGINT NOT NULL,
    ACCOUNT_REF OSK_FOREIGN_KEY,
    ACCOUNT_REF_CL COMPUTED BY ('osk_accounts'),
    DOMAIN_REF OSK_FOREIGN_KEY,
    DOMAIN_REF_CL COMPUTED BY ('osk_domains')
);
CREATE INDEX osk_access_control_access ON osk_access_control (ACCESS_ID);
CREATE INDEX osk_access_control_domain ON osk_access_control (DOMAIN_ID);

CREATE TABLE osk_user_access_control (
    PK BIGINT NOT NULL PRIMARY KEY,
    OID OSK_OID UNIQUE,
    MOD_TIME TIMESTAMP,
    DOMAIN_ID BIGINT NOT NULL,
    ACCESS_ID BIGINT NOT NULL,
    ACCOUNT_REF OSK_FOREIGN_KEY,
    ACCOUNT_REF_CL COMPUTED BY ('osk_user_accounts'),
    DOMAIN_REF OSK_FOREIGN_KEY,
    DOMAIN_REF_CL COMPUTED BY ('osk_roles')
);
CREATE INDEX osk_user_access_control_access ON osk_user_access_control (ACCESS_ID);
CREATE INDEX osk_user_access_control_domain ON osk_user_access_control (DOMAIN_ID);
