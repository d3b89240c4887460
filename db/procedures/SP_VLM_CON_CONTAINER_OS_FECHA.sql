-- params: Num_Container
-- The container of the register with this number, whatever the case it was
-- typed in. An unknown number answers no row.
SELECT c.CONTAINER_ID          AS container_id,
       c.TAB_TIPO_CONTAINER_ID AS TAB_TIPO_CONTAINER_ID
  FROM CONTAINER c
 WHERE c.NUM_CONTAINER = upper(trim(:Num_Container));
