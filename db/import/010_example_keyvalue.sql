-- Initial data of a new database, run after default_init.sql. The files of
-- this directory run in the order of their names, each statement once; add
-- a deployment's own records as further files.
--
-- Example: a key-value record that names the product that created the
-- database.
INSERT INTO osk_keyvalues (PK, OID, MOD_TIME, KCLASS, SUBCLASS, KKEY, KVALUE, ENABLED)
    VALUES (1, 1, CURRENT_TIMESTAMP, 'system', 'database', 'created_by', 'TFTP Zelvo', TRUE);
ALTER SEQUENCE osk_keyvalues RESTART WITH 1;
