-- The records behind the domain memberships of every secured object: the
-- object's SECURED_REF points to an osk_secured_object row, which points to
-- its memberships record; the memberships record lists, in order, one
-- osk_domain_id row per domain the object belongs to.

CREATE TABLE osk_secured_object (
    PK BIGINT NOT NULL PRIMARY KEY,
    OID OSK_OID UNIQUE,
    DOM_MEMBERSHIPS_REF OSK_FOREIGN_KEY,
    DOM_MEMBERSHIPS_REF_CL COMPUTED BY ('osk_domain_mships')
);

CREATE TABLE osk_domain_mships (
    PK BIGINT NOT NULL PRIMARY KEY,
    OID OSK_OID UNIQUE
);

-- SRC_TABLE is the domain id and the member's table joined by "_".
-- DOMAIN_TYPE: 0 device domain, 1 role.
CREATE TABLE osk_domain_id (
    PK BIGINT NOT NULL PRIMARY KEY,
    OID OSK_OID UNIQUE,
    DOMAIN_ID BIGINT NOT NULL,
    SRC_PK BIGINT,
    SRC_TABLE OSK_ATTR_NAME,
    DOMAIN_TYPE INTEGER DEFAULT 0 NOT NULL
);
CREATE INDEX osk_domain_id_domain ON osk_domain_id (DOMAIN_ID);
CREATE INDEX osk_domain_id_source ON osk_domain_id (SRC_PK, SRC_TABLE);

CREATE TABLE osk_domain_mships_links (
    PK BIGINT NOT NULL PRIMARY KEY,
    OID OSK_OID UNIQUE,
    SRC_ATTR_NAME OSK_ATTR_NAME NOT NULL,
    SRC_ATTR_REF BIGINT NOT NULL,
    DEST_ATTR_NAME OSK_ATTR_NAME,
    DEST_ATTR_REF BIGINT NOT NULL,
    DEST_SEQ_KEY BIGINT DEFAULT 0 NOT NULL
);
CREATE INDEX osk_domain_mships_links_src ON osk_domain_mships_links (SRC_ATTR_NAME, SRC_ATTR_REF);
CREATE INDEX osk_domain_mships_links_dest ON osk_domain_mships_links (DEST_ATTR_REF);
