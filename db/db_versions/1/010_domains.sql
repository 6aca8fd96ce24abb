-- Column types shared by every table of the persistent objects.
--
-- PK is the row key of the object database layer (its statements select,
-- update and delete by PK; the table's sequence of the same name hands out
-- its values). OID is the identity of the persistent object that the row
-- holds; references between objects hold OIDs.
--
-- A reference column takes the type OSK_FOREIGN_KEY and is followed by a
-- computed column of the same name with the suffix _CL whose text is the
-- table it points to: the layer finds the references of a table from the
-- catalogue this way, without declared constraints (objects are written and
-- deleted in the order the persistent classes choose).

CREATE DOMAIN OSK_OID AS BIGINT NOT NULL;
CREATE DOMAIN OSK_FOREIGN_KEY AS BIGINT;
CREATE DOMAIN OSK_NAME AS VARCHAR(240) CHARACTER SET UTF8;
-- Names of attributes and tables (link rows, membership rows): short enough
-- to join a key in an index together with a reference.
CREATE DOMAIN OSK_ATTR_NAME AS VARCHAR(64) CHARACTER SET UTF8;
CREATE DOMAIN OSK_MEMO AS VARCHAR(4096) CHARACTER SET UTF8;
CREATE DOMAIN OSK_TEXT AS BLOB SUB_TYPE TEXT CHARACTER SET UTF8;
CREATE DOMAIN OSK_FLAG AS BOOLEAN DEFAULT TRUE NOT NULL;
